#pragma once
// Hands every switch state to the target: the 8-byte named block (byte 0
// connected, byte 1 the state, bytes 2-7 filler) and, in mode 2, press and release
// messages to the navigator window. Relaying calls come one at a time from the
// link (on its worker's thread, or, for a worker cut off at a stop, the port's
// close on the thread that cut it off); the block's creation before the link
// starts and its release may come from another thread while the link still relays.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/switch_state.h"
#include "base/target_mode.h"
#include "include/tovira_relay.h"
#include "relay/relay_platform.h"

namespace tovira {

// The integrator's header is the one source of the names and numbers a target sees.
inline constexpr unsigned kPressMessage = TOVIRA_MSG_PRESS;
inline constexpr unsigned kReleaseMessage = TOVIRA_MSG_RELEASE;
inline constexpr std::string_view kNavigatorWindowClass = TOVIRA_NAVIGATOR_CLASS;

std::string BlockName(TargetMode mode);
// The interface process's image name, upper case; empty in mode 3 (never runs).
std::wstring_view InterfaceProcessImage(TargetMode mode);

class TargetRelay {
 public:
  using LogSink = std::function<void(const std::wstring&)>;
  // Whether the log lines are kept now; when not, a frame makes none.
  using LogWanted = std::function<bool()>;

  TargetRelay(
      TargetMode mode, RelayPlatform& platform, LogSink log, LogWanted logWanted = [] { return true; });

  // Creates (or opens) and initialises the block: 00 00 FF FF FF FF FF FF. On
  // failure shows its error box and leaves the relay without a block.
  bool CreateBlock(const std::string& name);
  // Relays one decoded frame.
  void RelayFrame(SwitchState state);
  // Whether the mode's interface process runs.
  bool InterfaceProcessRuns();
  // Lets go of the buttons as a lost link would, clears the block unless the
  // interface process runs, then releases it. Safe while the link still relays:
  // nothing is written into the block afterwards.
  void ReleaseBlock();
  // The block's part of showing the connection: byte 0 = 1 on connecting; on
  // losing the link, first byte 1 without its button bits, then byte 0 = 0
  // unless the interface process runs.
  void RelayConnection(bool enabled);

 private:
  void PostRelease(NavigatorWindow navigator, bool logging);
  // Byte 1 as last written, its buttons up; the state written, if any. With the
  // block's lock held.
  std::optional<SwitchState> LetGoOfButtons();
  void LogState(SwitchState state);

  TargetMode mode_;
  RelayPlatform& platform_;
  LogSink log_;
  LogWanted logWanted_;
  std::mutex blockLock_;  // the block and what this relay last wrote there
  volatile std::uint8_t* block_ = nullptr;
  SwitchState lastWritten_;  // byte 1 as this relay last wrote it
  // The button a release names: the lowest of the last press posted, button 0
  // before any.
  int releasedButton_ = 0;
  bool buttonHeld_ = false;  // the last relayed frame had a button down
};

}  // namespace tovira
