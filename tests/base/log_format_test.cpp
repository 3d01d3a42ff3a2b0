#include "base/log_format.h"

#include <gtest/gtest.h>

#include "base/texts_ja.h"

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
  EXPECT_EQ(FormatLogText(L"pStatus :%02X", 0x0A), L"pStatus :0A");
  EXPECT_EQ(FormatLogText(L"pStatus :%02X", 0x185), L"pStatus :185");
  EXPECT_EQ(FormatLogText(L"Post Quo ON :%d", 4), L"Post Quo ON :4");
}

TEST(LogFormat, EveryLengthUpToTheBufferComesWholeAndLongerBecomesTheErrorLine) {
  // Around the short line's size, where formatting moves to the full buffer, and
  // around the full buffer's size.
  for (const std::size_t length : {std::size_t{0}, std::size_t{254}, std::size_t{255}, std::size_t{256},
                                   std::size_t{257}, std::size_t{4000}, kLogFormatBufferUnits - 1}) {
    const std::wstring text(length, L'x');
    EXPECT_EQ(FormatLogText(L"%ls", text.c_str()), text) << length;
    EXPECT_EQ(FormatLogText(L"[%ls]", text.c_str()).size(),
              length + 2 < kLogFormatBufferUnits ? length + 2 : texts::kLogFormatError.size())
        << "bracketed " << length;
  }
  const std::wstring huge(kLogFormatBufferUnits, L'x');
  EXPECT_EQ(FormatLogText(L"%ls", huge.c_str()), L"Log Buffer Format Error");
}

TEST(LogPanel, OldestWholeLinesGoSoThatAtMostTheKeptAmountRemains) {
  struct Case {
    std::wstring_view text;
    std::size_t keep;
    std::size_t drop;
  };
  const Case cases[] = {
      {L"a\r\nb\r\n", 10, 0},            // within the limit: nothing goes
      {L"a\r\nb\r\n", 6, 0},             // exactly the limit
      {L"aa\r\nb\r\n", 3, 4},            // the cut falls on a line boundary
      {L"aaaa\r\nbb\r\ncc\r\n", 6, 10},  // the line straddling the cut goes too
      {L"aaaa\r\nbb\r\ncc\r\n", 8, 6},
      {L"no line break", 4, 13},  // no whole line fits: everything goes
      {L"x\r\n", 0, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogLinesToDrop(c.text, c.keep), c.drop) << c.keep;
    const std::size_t left = c.text.size() - LogLinesToDrop(c.text, c.keep);
    EXPECT_LE(left, c.keep);
  }
}

}  // namespace
}  // namespace tovira
