#pragma once
// A child process of the native end-to-end runner, with its standard input and
// output on pipes and every wait bounded.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tovira::e2e {

using Millis = std::chrono::milliseconds;

class ChildProcess {
 public:
  // Starts `argv` with the runner's environment plus `extraEnv`; its standard
  // error goes to `stderrFile` (appended) when given, else to /dev/null.
  static ChildProcess Start(const std::vector<std::string>& argv,
                            const std::map<std::string, std::string>& extraEnv = {},
                            const std::string& stderrFile = "");
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The next line of standard output (without its line break), or nothing when
  // none arrives within `timeout` or the output has ended.
  std::optional<std::string> ReadLine(Millis timeout);
  bool WriteLine(const std::string& line);
  void CloseInput();

  // The exit status, or nothing if the process still runs after `timeout`.
  std::optional<int> Wait(Millis timeout);
  void Kill();

 private:
  void CloseAll();

  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int stdoutFd_ = -1;
  std::string pending_;
  std::optional<int> exitStatus_;
};

}  // namespace tovira::e2e
