// Start-up scenarios through the runner: Tovira starts hidden, refuses a second
// copy with its message, and ends when its window is closed.

#include <gtest/gtest.h>

#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {
namespace {

constexpr Millis kWait(15000);

TEST(Startup, RunsHiddenUntilItsWindowCloses) {
  const WineSession& wine = WineSession::Get();
  ChildProcess tovira = wine.StartWindowsProgram({wine.ToviraExe(2)});
  ASSERT_TRUE(wine.Probe({"wait", "15000"}));
  const auto state = wine.Probe({"state"});
  ASSERT_TRUE(state);
  EXPECT_NE(state->find("\"visible\":false"), std::string::npos) << *state;
  ASSERT_TRUE(wine.Probe({"close"}));
  EXPECT_EQ(tovira.Wait(kWait), 0);
}

TEST(Startup, SecondCopyShowsItsMessageAndLeavesTheFirstRunning) {
  const WineSession& wine = WineSession::Get();
  ChildProcess first = wine.StartWindowsProgram({wine.ToviraExe(2)});
  ASSERT_TRUE(wine.Probe({"wait", "15000"}));
  ChildProcess second = wine.StartWindowsProgram({wine.ToviraExe(2)});
  const auto box = wine.Probe({"dismiss", "二重起動はできません。", "15000"});
  ASSERT_TRUE(box) << "no message box captioned 二重起動はできません。";
  EXPECT_NE(box->find("トヴィラは起動されています。"), std::string::npos) << *box;
  EXPECT_EQ(second.Wait(kWait), 0);
  EXPECT_FALSE(first.Wait(Millis(0)));
  ASSERT_TRUE(wine.Probe({"close"}));
  EXPECT_EQ(first.Wait(kWait), 0);
}

}  // namespace
}  // namespace tovira::e2e
