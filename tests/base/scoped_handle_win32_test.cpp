#include "base/scoped_handle_win32.h"

#include <gtest/gtest.h>

#include <utility>

namespace tovira {
namespace {

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(ScopedHandle, BothFailureValuesAreInvalid) {
  EXPECT_FALSE(UniqueHandle(nullptr).valid());
  EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).valid());
}

TEST(ScopedHandle, ClosesOnceWhenMovedAndReset) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueHandle first(raw);
    UniqueHandle second(std::move(first));
    // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): the moved-from state is tested
    EXPECT_FALSE(first.valid());
    EXPECT_TRUE(second.valid());
    EXPECT_TRUE(IsOpenHandle(raw));
    UniqueHandle third;
    third = std::move(second);
    EXPECT_EQ(third.get(), raw);
  }
  EXPECT_FALSE(IsOpenHandle(raw));
}

TEST(ScopedHandle, ReleaseHandsOwnershipBack) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueHandle owner(raw);
    EXPECT_EQ(owner.release(), raw);
  }
  EXPECT_TRUE(IsOpenHandle(raw));
  ::CloseHandle(raw);
}

}  // namespace
}  // namespace tovira
