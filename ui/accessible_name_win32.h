#pragma once
// A control's accessible name as words the program chooses, while the system's
// own accessible object answers everything else (role, state, place, children).
// The control's picture or text stays what it draws: a screen reader reads the
// words, and a change of them is announced.

#include <windows.h>

#include <string>

namespace tovira {

// Gives `control` the accessible name `name` until the control is destroyed or
// the name is set again. Announces a changed name (EVENT_OBJECT_NAMECHANGE).
// False when the control cannot take one.
bool SetAccessibleName(HWND control, const std::wstring& name);

// COM on this thread for as long as it lives, where the thread has none yet: the
// accessibility layer hands the names over through COM.
class ThreadApartment final {
 public:
  ThreadApartment();
  ~ThreadApartment();
  ThreadApartment(const ThreadApartment&) = delete;
  ThreadApartment& operator=(const ThreadApartment&) = delete;

 private:
  bool joined_;
};

}  // namespace tovira
