#pragma once
// The platform under the relay: the named block, the navigator window, the
// process list, and the error box. Win32 in the program, a fake in the tests.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovira {

enum class BlockOpenFailure { None, CreateFailed, MapFailed };

// An opaque window reference (an HWND in the program).
using NavigatorWindow = std::uintptr_t;

class RelayPlatform {
 public:
  virtual ~RelayPlatform() = default;

  // Creates the paging-file mapping of 8 bytes with this 8-bit name, or opens the
  // existing one, and maps all of it. The view, or null with the failing step.
  virtual volatile std::uint8_t* OpenBlock(const std::string& name, BlockOpenFailure& failure) = 0;
  // Unmaps the view and closes the mapping.
  virtual void CloseBlock() = 0;
  virtual void ShowErrorBox(const std::wstring& text, const std::wstring& caption) = 0;

  // The window of class "Quorandel", looked up anew each time.
  virtual std::optional<NavigatorWindow> FindNavigator() = 0;
  virtual void PostToNavigator(NavigatorWindow window, unsigned message, int wParam) = 0;

  // The upper-cased executable path of every running process that can be read
  // (at most 1024 processes); nothing when the list itself cannot be read.
  virtual std::optional<std::vector<std::wstring>> RunningImagePathsUpper() = 0;
};

}  // namespace tovira
