#pragma once
// A hung shell under Wine: the prefix's explorer.exe (its desktop and tray)
// stopped with SIGSTOP, so that every call to the tray waits.

#include <sys/types.h>

#include <vector>

namespace tovira::e2e {

// The prefix's explorer.exe stopped while the guard lives. It runs again however
// the scope ends.
class StoppedShell {
 public:
  StoppedShell();
  ~StoppedShell() { Resume(); }
  StoppedShell(const StoppedShell&) = delete;
  StoppedShell& operator=(const StoppedShell&) = delete;

  // True once every process found is seen stopped (within 5 s), false when none was found.
  bool stopped() const;
  void Resume();

 private:
  std::vector<pid_t> pids_;
};

}  // namespace tovira::e2e
