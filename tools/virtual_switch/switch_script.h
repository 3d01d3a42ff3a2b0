#pragma once
// The virtual switch's command language, one command per line:
//   press B [B ...]   buttons B (1-5) down, all others up; sends a frame
//   release           no button down; sends a frame
//   state 0xNN        the whole state value (any bits); sends a frame
//   battery low|ok    bit 7 of every following frame; sends a frame
//   raw HH [HH ...]   bytes as they are
//   garbage N         N random bytes
//   half              the first byte of a frame only
//   burst N           N frames in one write, pressing buttons 1-5 in turn, each followed by a release
//   dsr|cts|cd on|off a modem line of the port
//   rotation N|varied, tag N|varied   how frames are encoded (default: varied)
//   vanish            close the port's far end, as a switch out of range does
//   return            after a vanish, the port back under the same name
//   sleep MS          wait
//   quit              end
// Every action prints one JSON line with a CLOCK_REALTIME time stamp "t" taken
// right after its last byte was written.

#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "base/switch_state.h"
#include "tools/virtual_switch/virtual_switch.h"

namespace tovira::tools {

class SwitchScript {
 public:
  SwitchScript(VirtualSwitch& device, std::ostream& out, std::uint32_t seed);

  // Runs one line; false (with `error` set) for a line it does not understand or
  // an action that failed.
  bool Execute(const std::string& line, std::string& error);
  bool quit() const { return quit_; }
  SwitchState state() const { return state_; }

 private:
  struct WrittenFrame {
    std::uint8_t control;
    std::uint8_t stateByte;
    int rotation;
    int tag;
  };

  WrittenFrame EncodeNext(SwitchState state);
  bool SendState(const char* action, SwitchState state);
  bool Burst(int frames);
  bool Garbage(int count);
  void Emit(const std::string& fields);

  VirtualSwitch& device_;
  std::ostream& out_;
  std::mt19937 random_;
  SwitchState state_;
  bool batteryLow_ = false;
  std::optional<int> fixedRotation_;
  std::optional<int> fixedTag_;
  bool quit_ = false;
};

// Frame `index` (from 0) of `burst N`: even frames press buttons 1-5 in turn, odd
// frames release; the battery low as given.
SwitchState BurstFrameState(int index, bool batteryLow);

// Seconds since the epoch on CLOCK_REALTIME, as the target monitor stamps its lines.
double RealtimeSeconds();

}  // namespace tovira::tools
