#pragma once
// The target side of a scenario: the target monitor's JSON lines, kept and searched.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e_host/child_process.h"

namespace tovira::e2e {

class TargetMonitor {
 public:
  // `image` is the monitor's path in the win64 build (a renamed copy plays an
  // interface process).
  static TargetMonitor Start(int mode, const std::vector<std::string>& extraArgs = {},
                             const std::string& image = "tools/target_monitor.exe");

  // The first line not yet taken with this "event" (and, when given, passing
  // `accept`), reading on until it arrives; nothing on time-out. Every line read
  // is kept; taking a block line also takes the block lines before it.
  std::optional<std::string> WaitFor(const std::string& event, Millis timeout,
                                     const std::function<bool(const std::string&)>& accept = nullptr);
  std::optional<std::string> WaitForBlock(const std::string& hex, Millis timeout);
  // The next block whose byte 0 says the switch is connected (or not).
  std::optional<std::string> WaitForConnected(bool connected, Millis timeout);
  // Reads whatever arrives for `period`.
  void Collect(Millis period);
  // Reads one more line when one arrives within `timeout`; false when none did.
  bool ReadOne(Millis timeout);
  // Lines of one event kind, in order of arrival.
  std::vector<std::string> Events(const std::string& event) const;
  std::string LastBlock() const;
  // The navigator's messages so far, in order: "press 2", "release 2" …
  std::vector<std::string> NavigatorMessages() const;
  const std::vector<std::string>& lines() const { return lines_; }

  void Stop();

 private:
  ChildProcess process_;
  std::vector<std::string> lines_;
  std::vector<bool> consumed_;
};

}  // namespace tovira::e2e
