#pragma once
// Move-only owners for Win32 handles. Each traits type knows its API's failure
// value and how to release it, so no naked CloseHandle path exists.

#include <windows.h>

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

struct MappedViewTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle view) { return view != nullptr; }
  static void Close(Handle view) { ::UnmapViewOfFile(view); }
};
using UniqueMappedView = ScopedHandle<MappedViewTraits>;

}  // namespace tovira
