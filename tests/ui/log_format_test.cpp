#include "ui/log_format.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(LogFormat, LineHasTimeTabTextAndLineBreak) {
  EXPECT_EQ(FormatLogLine({9, 5, 3, 250}, L"終了処理中..."), L"09:05:03.25\t終了処理中...\r\n");
  EXPECT_EQ(FormatLogLine({23, 59, 59, 999}, L"x"), L"23:59:59.99\tx\r\n");
  EXPECT_EQ(FormatLogLine({0, 0, 0, 5}, L""), L"00:00:00.00\t\r\n");
}

TEST(LogFormat, FrameLineKeepsItsOwnLineFeed) {
  EXPECT_EQ(FormatLogLine({1, 2, 3, 40}, L"00000101\t03\n"), L"01:02:03.04\t00000101\t03\n\r\n");
}

TEST(LogFormat, PrintfFormatting) {
  EXPECT_EQ(PutLogF(L"pStatus :%02X", 0x0A), L"pStatus :0A");
  EXPECT_EQ(PutLogF(L"pStatus :%02X", 0x185), L"pStatus :185");
  EXPECT_EQ(PutLogF(L"Post Quo ON :%d", 4), L"Post Quo ON :4");
}

TEST(LogFormat, ResultThatDoesNotFitBecomesTheErrorLine) {
  const std::wstring huge(kLogFormatBufferUnits, L'x');
  EXPECT_EQ(PutLogF(L"%ls", huge.c_str()), L"Log Buffer Format Error");
  const std::wstring fits(kLogFormatBufferUnits - 1, L'x');
  EXPECT_EQ(PutLogF(L"%ls", fits.c_str()), fits);
}

}  // namespace
}  // namespace tovira
