#pragma once

#include <windows.h>

#include <memory>

#include "app/target_mode.h"

namespace tovira {

// The main window: hidden after load, the tray icon being the program's presence.
class FMain {
 public:
  // Null when the window cannot be built.
  static std::unique_ptr<FMain> Create(HINSTANCE instance, TargetMode mode);
  ~FMain();

  FMain(const FMain&) = delete;
  FMain& operator=(const FMain&) = delete;

  HWND hwnd() const { return hwnd_; }

 private:
  FMain(HINSTANCE instance, TargetMode mode) : instance_(instance), mode_(mode) {}

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void FMain_Load();
  void OnClose();
  void OnDestroy();

  HINSTANCE instance_;
  TargetMode mode_;
  HWND hwnd_ = nullptr;
  bool loaded_ = false;
};

// Runs the window thread's message loop until the main window has gone.
int RunMessageLoop();

}  // namespace tovira
