#pragma once
// One Tovira per logon session. A named mutex in the session's own namespace,
// taken first thing, decides: of two copies started at the same moment exactly
// one runs, and copies in other users' sessions do not count.

#include "base/scoped_handle_win32.h"

namespace tovira {

class SingleInstance {
 public:
  SingleInstance();
  // This copy holds the session's mutex and runs.
  bool first() const { return first_; }

 private:
  UniqueHandle mutex_;  // held for the whole run
  bool first_ = false;
};

// Brings up the running copy's status window, as its tray menu's test item does.
void ShowRunningCopy();

}  // namespace tovira
