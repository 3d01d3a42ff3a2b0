// Start-up as the user meets it, in every mode: one hidden window titled
// "トヴィラ" without caption buttons that ends the program when it closes, and
// one copy only: a second start shows its message, leaves the first running and
// brings up its window; of two copies started at once exactly one runs.

#include <gtest/gtest.h>

#include "tests/e2e_host/scenario.h"
#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {
namespace {

constexpr Millis kWait(15000);

std::string Field(const std::string& line, const std::string& key) {
  return JsonField(line, key).value_or("");
}

class Startup : public testing::TestWithParam<int> {};

TEST_P(Startup, RunsHiddenUntilItsWindowCloses) {
  const WineSession& wine = WineSession::Get();
  ChildProcess tovira = wine.StartWindowsProgram({wine.ToviraExe(GetParam())});
  ASSERT_TRUE(wine.Probe({"wait", "15000"}));
  // Shown minimized as it starts, it hides itself once its first messages are handled.
  std::string state;
  EXPECT_TRUE(Eventually([&] {
    state = wine.Probe({"state"}).value_or("");
    return Field(state, "visible") == "false";
  })) << state;
  EXPECT_EQ(Field(state, "captionButtons"), "false") << state;
  ASSERT_TRUE(wine.Probe({"close"}));
  EXPECT_EQ(tovira.Wait(kWait), 0);
}

TEST_P(Startup, SecondCopyShowsItsMessageAndLeavesTheFirstRunning) {
  const WineSession& wine = WineSession::Get();
  ChildProcess first = wine.StartWindowsProgram({wine.ToviraExe(GetParam())});
  ASSERT_TRUE(wine.Probe({"wait", "15000"}));
  const std::string before = wine.Probe({"state"}).value_or("");
  ASSERT_NE(Field(before, "window"), "0") << before;

  ChildProcess second = wine.StartWindowsProgram({wine.ToviraExe(GetParam())});
  ASSERT_TRUE(wine.Probe({"dialog", "二重起動はできません。", "15000"}))
      << "no message box captioned 二重起動はできません。";
  // While its box is shown the second copy waits, and has built no window of its own.
  EXPECT_FALSE(second.Wait(Millis(0))) << "the second copy waits for the box to be dismissed";
  const std::string during = wine.Probe({"state"}).value_or("");
  EXPECT_EQ(Field(during, "titled"), "1") << during;

  const auto box = wine.Probe({"dismiss", "二重起動はできません。", "15000"});
  ASSERT_TRUE(box);
  EXPECT_NE(box->find("トヴィラは起動されています。"), std::string::npos) << *box;
  EXPECT_NE(box->find("{\"buttons\":1,\"ok\":true}"), std::string::npos) << "one OK button: " << *box;
  EXPECT_EQ(second.Wait(kWait), 0);

  EXPECT_FALSE(first.Wait(Millis(0)));
  // The user who started it again wanted the window: the running copy shows it.
  std::string after;
  for (int look = 0; look < 150 && Field(after, "visible") != "true"; ++look) {
    after = wine.Probe({"state"}).value_or("");
  }
  EXPECT_EQ(Field(after, "visible"), "true") << after;
  EXPECT_EQ(Field(after, "window"), Field(before, "window")) << "the first copy keeps its window";
  ASSERT_TRUE(wine.Probe({"close"}));
  EXPECT_EQ(first.Wait(kWait), 0);
}

TEST(SimultaneousStarts, ExactlyOneOfTwoCopiesStartedAtOnceRuns) {
  const WineSession& wine = WineSession::Get();
  ChildProcess one = wine.StartWindowsProgram({wine.ToviraExe(2)});
  ChildProcess other = wine.StartWindowsProgram({wine.ToviraExe(2)});
  ASSERT_TRUE(wine.Probe({"dismiss", "二重起動はできません。", "30000"})) << "neither copy saw the other";
  ASSERT_TRUE(wine.Probe({"wait", "15000"}));
  // The copy that showed the box ends; the other runs on.
  for (int look = 0; look < 150 && !one.Wait(Millis(50)) && !other.Wait(Millis(50));) ++look;
  EXPECT_NE(one.Wait(Millis(0)).has_value(), other.Wait(Millis(0)).has_value()) << "exactly one runs";
  const std::string state = wine.Probe({"state"}).value_or("");
  EXPECT_EQ(Field(state, "titled"), "1") << state;
  ASSERT_TRUE(wine.Probe({"close"}));
  EXPECT_TRUE(one.Wait(kWait).has_value());
  EXPECT_TRUE(other.Wait(kWait).has_value());
}

INSTANTIATE_TEST_SUITE_P(Modes, Startup, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& mode) {
                           return "Mode" + std::to_string(mode.param);
                         });

}  // namespace
}  // namespace tovira::e2e
