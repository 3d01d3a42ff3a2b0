#include "tools/virtual_switch/switch_script.h"

#include <time.h>

#include <chrono>
#include <exception>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

#include "link/frame_codec.h"

namespace tovira::tools {
namespace {

std::optional<int> ParseNumber(const std::string& word) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(word, &used, 0);
    if (used != word.size()) return std::nullopt;
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<bool> ParseOnOff(const std::string& word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

}  // namespace

double RealtimeSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

SwitchState BurstFrameState(int index, bool batteryLow) {
  SwitchState::Buttons buttons;
  if (index % 2 == 0) buttons.set(static_cast<std::size_t>((index / 2) % SwitchState::kButtons));
  return SwitchState::Of(buttons, batteryLow);
}

SwitchScript::SwitchScript(VirtualSwitch& device, std::ostream& out, std::uint32_t seed)
    : device_(device), out_(out), random_(seed) {}

SwitchScript::WrittenFrame SwitchScript::EncodeNext(SwitchState state) {
  const int rotation = fixedRotation_.value_or(static_cast<int>(random_() % 16));
  const int tag = fixedTag_.value_or(static_cast<int>(random_() % 16));
  const EncodedFrame frame = EncodeFrame(device_.mode(), state, rotation, tag);
  return {frame.control, frame.state, rotation, tag};
}

void SwitchScript::Emit(const std::string& fields) {
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "{\"t\":%.6f,", RealtimeSeconds());
  out_ << stamp << fields << "}" << std::endl;
}

bool SwitchScript::SendState(const char* action, SwitchState state) {
  state_ = state;
  const WrittenFrame frame = EncodeNext(state_);
  // Stamped before the write too: a switch descheduled after its write would
  // otherwise stamp its frame after the target already had it.
  char sent[32];
  std::snprintf(sent, sizeof(sent), "%.6f", RealtimeSeconds());
  if (!device_.Write({frame.control, frame.stateByte})) return false;
  std::ostringstream fields;
  fields << "\"sent\":" << sent << ",\"action\":\"" << action << "\",\"state\":" << int{state_.byte()}
         << ",\"control\":" << int{frame.control} << ",\"byte2\":" << int{frame.stateByte}
         << ",\"rotation\":" << frame.rotation << ",\"tag\":" << frame.tag;
  Emit(fields.str());
  return true;
}

bool SwitchScript::Burst(int frames) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(frames) * 2);
  int presses = 0;
  SwitchState last = state_;
  for (int i = 0; i < frames; ++i) {
    last = BurstFrameState(i, batteryLow_);
    if (i % 2 == 0) ++presses;
    const WrittenFrame frame = EncodeNext(last);
    bytes.push_back(frame.control);
    bytes.push_back(frame.stateByte);
  }
  if (!device_.Write(bytes)) return false;
  state_ = last;
  Emit("\"action\":\"burst\",\"frames\":" + std::to_string(frames) +
       ",\"presses\":" + std::to_string(presses) + ",\"releases\":" + std::to_string(frames - presses) +
       ",\"state\":" + std::to_string(state_.byte()));
  return true;
}

bool SwitchScript::Garbage(int count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random_());
  if (!device_.Write(bytes)) return false;
  Emit("\"action\":\"garbage\",\"bytes\":" + std::to_string(count));
  return true;
}

bool SwitchScript::Execute(const std::string& line, std::string& error) {
  std::istringstream words(line);
  std::string command;
  if (!(words >> command) || command[0] == '#') return true;
  std::vector<std::string> args;
  for (std::string word; words >> word;) args.push_back(word);
  auto fail = [&](const std::string& why) {
    error = why;
    return false;
  };
  auto sent = [&](bool ok) { return ok ? true : fail("the port is gone"); };

  if (command == "press") {
    if (args.empty()) return fail("press needs buttons 1-5");
    SwitchState::Buttons buttons;
    for (const std::string& arg : args) {
      const auto button = ParseNumber(arg);
      if (!button || *button < 1 || *button > SwitchState::kButtons) return fail("no button " + arg);
      buttons.set(static_cast<std::size_t>(*button - 1));
    }
    return sent(SendState("press", SwitchState::Of(buttons, batteryLow_)));
  }
  if (command == "release") return sent(SendState("release", SwitchState::Of({}, batteryLow_)));
  if (command == "state") {
    const auto value = args.size() == 1 ? ParseNumber(args[0]) : std::nullopt;
    if (!value || *value < 0 || *value > 255) return fail("state needs a value 0-255");
    const SwitchState state = SwitchState::FromByte(static_cast<std::uint8_t>(*value));
    batteryLow_ = state.batteryLow();
    return sent(SendState("state", state));
  }
  if (command == "battery") {
    if (args.size() != 1 || (args[0] != "low" && args[0] != "ok")) return fail("battery low|ok");
    batteryLow_ = args[0] == "low";
    return sent(SendState("battery", state_.WithBatteryLow(batteryLow_)));
  }
  if (command == "raw") {
    std::vector<std::uint8_t> bytes;
    for (const std::string& arg : args) {
      const auto value = ParseNumber("0x" + arg);
      if (!value || *value < 0 || *value > 255) return fail("raw takes hex bytes");
      bytes.push_back(static_cast<std::uint8_t>(*value));
    }
    if (!device_.Write(bytes)) return fail("the port is gone");
    Emit("\"action\":\"raw\",\"bytes\":" + std::to_string(bytes.size()));
    return true;
  }
  if (command == "garbage") {
    const auto count = args.size() == 1 ? ParseNumber(args[0]) : std::nullopt;
    if (!count || *count < 0) return fail("garbage N");
    return sent(Garbage(*count));
  }
  if (command == "half") {
    const WrittenFrame frame = EncodeNext(state_);
    if (!device_.Write({frame.control})) return fail("the port is gone");
    Emit("\"action\":\"half\",\"control\":" + std::to_string(frame.control));
    return true;
  }
  if (command == "burst") {
    const auto count = args.size() == 1 ? ParseNumber(args[0]) : std::nullopt;
    if (!count || *count < 1) return fail("burst N");
    return sent(Burst(*count));
  }
  if (command == "dsr" || command == "cts" || command == "cd") {
    const auto on = args.size() == 1 ? ParseOnOff(args[0]) : std::nullopt;
    if (!on) return fail(command + " on|off");
    ModemLineState lines = device_.lines();
    (command == "dsr" ? lines.dsr : command == "cts" ? lines.cts : lines.cd) = *on;
    device_.SetLines(lines);
    Emit("\"action\":\"" + command + "\",\"on\":" + (*on ? "true" : "false"));
    return true;
  }
  if (command == "rotation" || command == "tag") {
    std::optional<int>& fixed = command == "rotation" ? fixedRotation_ : fixedTag_;
    if (args.size() == 1 && args[0] == "varied") {
      fixed.reset();
    } else {
      const auto value = args.size() == 1 ? ParseNumber(args[0]) : std::nullopt;
      if (!value || *value < 0 || *value > 15) return fail(command + " 0-15|varied");
      fixed = *value;
    }
    return true;
  }
  if (command == "vanish") {
    device_.Vanish();
    Emit("\"action\":\"vanish\"");
    return true;
  }
  if (command == "return") {
    try {
      device_.Return();
    } catch (const std::exception& failure) {
      return fail(failure.what());
    }
    Emit("\"action\":\"return\"");
    return true;
  }
  if (command == "sleep") {
    const auto ms = args.size() == 1 ? ParseNumber(args[0]) : std::nullopt;
    if (!ms || *ms < 0) return fail("sleep MS");
    std::this_thread::sleep_for(std::chrono::milliseconds(*ms));
    return true;
  }
  if (command == "quit") {
    quit_ = true;
    return true;
  }
  return fail("unknown command " + command);
}

}  // namespace tovira::tools
