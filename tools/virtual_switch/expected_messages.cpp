#include "tools/virtual_switch/expected_messages.h"

#include <optional>

#include "tools/virtual_switch/switch_script.h"

namespace tovira::tools {
namespace {

constexpr int kButtons = 5;

// The state byte read here on its own, not through the program's SwitchState,
// so that this account can disagree with the relay's.
std::optional<int> LowestButton(int state) {
  for (int button = 0; button < kButtons; ++button) {
    if ((state & (1 << button)) != 0) return button;
  }
  return std::nullopt;
}

}  // namespace

void ExpectedNavigatorMessages::Frame(int state) {
  if (const auto button = LowestButton(state)) {
    messages_.push_back("press " + std::to_string(*button));
    lastPress_ = state;
    held_ = true;
  } else {
    Release();
    held_ = false;
  }
}

void ExpectedNavigatorMessages::LinkLost() {
  if (held_) Release();
  held_ = false;
}

void ExpectedNavigatorMessages::Release() {
  // Before any press the last press reads as button 0's.
  if (const auto button = LowestButton(lastPress_)) messages_.push_back("release " + std::to_string(*button));
}

std::vector<std::string> ExpectedBurstMessages(int frames) {
  ExpectedNavigatorMessages expected;
  for (int i = 0; i < frames; ++i) expected.Frame(BurstFrameState(i, false).byte());
  return expected.messages();
}

}  // namespace tovira::tools
