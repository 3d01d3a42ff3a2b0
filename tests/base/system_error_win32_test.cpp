#include "base/system_error_win32.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(SystemErrorText, GivesTheSystemTextWithoutLineBreak) {
  for (DWORD code : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_NOT_READY}}) {
    const std::wstring text = SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), L'\n') << code;
    EXPECT_NE(text.back(), L'\r') << code;
  }
}

TEST(SystemErrorText, UnknownCodeStillSaysSomething) {
  EXPECT_EQ(SystemErrorText(0x7FFFFF01), L"Error 2147483393");
}

}  // namespace
}  // namespace tovira
