#include "relay/target_relay.h"

#include <array>
#include <cstring>
#include <mutex>
#include <optional>

#include "base/log_format.h"
#include "base/texts_ja.h"

namespace tovira {
namespace {

// The 32-bit value whose bytes in memory are these, in this order.
std::uint32_t FromBytes(const std::array<std::uint8_t, 4>& bytes) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data(), sizeof value);
  return value;
}

void Store32(volatile std::uint8_t* at, std::uint32_t value) {
  // One 32-bit store, as the target side expects; the view is page-aligned.
  *reinterpret_cast<volatile std::uint32_t*>(at) = value;
}

}  // namespace

std::string BlockName(TargetMode mode) {
  return mode == TargetMode::Quorandel ? TOVIRA_BLOCK_NAME_QUORANDEL : TOVIRA_BLOCK_NAME_VELMORA;
}

std::wstring_view InterfaceProcessImage(TargetMode mode) {
  switch (mode) {
    case TargetMode::Velmora:
      return L"" TOVIRA_INTERFACE_PROCESS_VELMORA;
    case TargetMode::Quorandel:
      return L"" TOVIRA_INTERFACE_PROCESS_QUORANDEL;
    case TargetMode::Harmoa:
      break;
  }
  return L"";
}

TargetRelay::TargetRelay(TargetMode mode, RelayPlatform& platform, LogSink log, LogWanted logWanted)
    : mode_(mode), platform_(platform), log_(std::move(log)), logWanted_(std::move(logWanted)) {}

bool TargetRelay::CreateBlock(const std::string& name) {
  BlockOpenFailure failure = BlockOpenFailure::None;
  volatile std::uint8_t* view = platform_.OpenBlock(name, failure);
  if (view == nullptr) {
    const std::wstring caption(texts::kSharedMemoryErrorCaption);
    platform_.ShowErrorBox(std::wstring(failure == BlockOpenFailure::MapFailed ? texts::kMapViewFailed
                                                                               : texts::kCreateMappingFailed),
                           caption);
    return false;
  }
  // Bytes 0 and 1 are never FF, not even for an instant: a reader would take
  // that as a switch connected with all five buttons held.
  Store32(view, FromBytes({0x00, 0x00, 0xFF, 0xFF}));
  Store32(view + 4, 0xFFFFFFFFu);
  const std::lock_guard<std::mutex> lock(blockLock_);
  block_ = view;
  lastWritten_ = SwitchState();
  return true;
}

void TargetRelay::PostRelease(NavigatorWindow navigator, bool logging) {
  platform_.PostToNavigator(navigator, kReleaseMessage, releasedButton_);
  if (logging) log_(FormatLogText(texts::kReleasePostedLog, releasedButton_));
}

void TargetRelay::RelayFrame(SwitchState state) {
  const bool logging = logWanted_();
  if (mode_ == TargetMode::Quorandel) {
    if (const auto navigator = platform_.FindNavigator()) {
      if (const auto button = state.lowestPressed()) {
        platform_.PostToNavigator(*navigator, kPressMessage, *button);
        if (logging) log_(FormatLogText(texts::kPressPostedLog, *button));
        releasedButton_ = *button;
      } else {
        // No button down is a release, whatever the battery bit (or a spare bit)
        // says: with the battery low every frame carries bit 7, and a release
        // that waited for a state of 0 would leave the navigator holding the button.
        PostRelease(*navigator, logging);
      }
    }
    buttonHeld_ = state.anyPressed();
  }
  bool written = false;
  {
    const std::lock_guard<std::mutex> lock(blockLock_);
    if (block_ != nullptr) {
      block_[0] = 1;
      lastWritten_ = state;
      block_[1] = state.byte();
      written = true;
    }
  }
  if (written && logging) LogState(state);
}

void TargetRelay::LogState(SwitchState state) {
  log_(FormatLogText(texts::kStateWrittenLog, state.byte()));
}

bool TargetRelay::InterfaceProcessRuns() {
  const std::wstring_view image = InterfaceProcessImage(mode_);
  if (image.empty()) return false;
  const auto paths = platform_.RunningImagePathsUpper();
  if (!paths) return false;
  for (const std::wstring& path : *paths) {
    if (path.find(image) != std::wstring::npos) return true;
  }
  return false;
}

void TargetRelay::RelayConnection(bool enabled) {
  // A switch lost while a button is held must not leave the navigator holding
  // it: release it as a frame with no button would.
  if (!enabled && mode_ == TargetMode::Quorandel && buttonHeld_) {
    buttonHeld_ = false;
    if (const auto navigator = platform_.FindNavigator()) PostRelease(*navigator, true);
  }
  std::optional<SwitchState> letGo;
  {
    const std::lock_guard<std::mutex> lock(blockLock_);
    if (block_ == nullptr) return;
    if (enabled) {
      block_[0] = 1;
      return;
    }
    // No button outlives its link: the target would take a press left in byte 1
    // as held while the switch is away, and again when the next open sets byte 0.
    letGo = LetGoOfButtons();
    if (!InterfaceProcessRuns()) block_[0] = 0;
  }
  if (letGo) LogState(*letGo);
}

std::optional<SwitchState> TargetRelay::LetGoOfButtons() {
  // A state someone else wrote (the interface process) is left alone.
  if (block_[1] != lastWritten_.byte() || !lastWritten_.anyPressed()) return std::nullopt;
  lastWritten_ = lastWritten_.WithoutButtons();
  block_[1] = lastWritten_.byte();
  return lastWritten_;
}

void TargetRelay::ReleaseBlock() {
  std::optional<SwitchState> letGo;
  {
    const std::lock_guard<std::mutex> lock(blockLock_);
    if (block_ != nullptr) {
      // The link may still run (the end of the session comes first): its loss
      // would have let go of the buttons before the block goes.
      letGo = LetGoOfButtons();
      if (!InterfaceProcessRuns()) {
        block_[0] = 0;
        Store32(block_, 0);
        Store32(block_ + 4, 0);
      }
      block_ = nullptr;  // no write follows, so the view may go
    }
  }
  if (letGo) LogState(*letGo);
  platform_.CloseBlock();
}

}  // namespace tovira
