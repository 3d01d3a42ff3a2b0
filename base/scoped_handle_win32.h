#pragma once
// Move-only owners for every kind of handle the program holds: kernel objects,
// mapped views, GDI objects, icons, menus, loaded libraries, COM interfaces and
// BSTRs. Each traits type knows its API's failure value and how to release it, so
// no naked release path exists.

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace tovira {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }

  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  bool valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return valid(); }
  Handle get() const { return handle_; }
  // For COM interfaces; other handles have no members.
  Handle operator->() const { return handle_; }

  Handle release() { return std::exchange(handle_, Traits::Invalid()); }

  void reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (Traits::IsValid(old)) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// Kernel objects: some APIs fail with NULL (CreateEvent, OpenProcess,
// CreateFileMapping), others with INVALID_HANDLE_VALUE (CreateFile,
// CreateToolhelp32Snapshot); neither is ever closed.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { ::CloseHandle(handle); }
};
using UniqueHandle = ScopedHandle<KernelHandleTraits>;

// Handles that fail as NULL and are released by one call of their API.
template <typename Owned, auto Release>
struct NullFailsTraits {
  using Handle = Owned;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { Release(handle); }
};
using UniqueMappedView = ScopedHandle<NullFailsTraits<void*, &::UnmapViewOfFile>>;
// GDI objects this program created (never a stock object).
using UniqueBrush = ScopedHandle<NullFailsTraits<HBRUSH, &::DeleteObject>>;
using UniqueFont = ScopedHandle<NullFailsTraits<HFONT, &::DeleteObject>>;
using UniqueBitmap = ScopedHandle<NullFailsTraits<HBITMAP, &::DeleteObject>>;
// An icon loaded without LR_SHARED.
using UniqueIcon = ScopedHandle<NullFailsTraits<HICON, &::DestroyIcon>>;
// A menu that no window owns (a pop-up menu).
using UniqueMenu = ScopedHandle<NullFailsTraits<HMENU, &::DestroyMenu>>;
using UniqueBstr = ScopedHandle<NullFailsTraits<BSTR, &::SysFreeString>>;
using UniqueDeviceNotification = ScopedHandle<NullFailsTraits<HDEVNOTIFY, &::UnregisterDeviceNotification>>;
// The screen's device context (GetDC of no window).
inline void ReleaseScreenDc(HDC screen) {
  ::ReleaseDC(nullptr, screen);
}
using UniqueScreenDc = ScopedHandle<NullFailsTraits<HDC, &ReleaseScreenDc>>;
// A library this program loaded (never one of GetModuleHandle).
using UniqueModule = ScopedHandle<NullFailsTraits<HMODULE, &::FreeLibrary>>;

// One reference to a COM interface.
template <typename Interface>
struct ComInterfaceTraits {
  using Handle = Interface*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle object) { return object != nullptr; }
  static void Close(Handle object) { object->Release(); }
};
template <typename Interface>
using ComPtr = ScopedHandle<ComInterfaceTraits<Interface>>;

}  // namespace tovira
