#include "app/moved_port_watch.h"

#include <gtest/gtest.h>

#include <system_error>

namespace tovira {
namespace {

using std::chrono::milliseconds;

TEST(MovedPortWatch, LooksUpOnceAfterThirtySecondsOfFailuresAndAgainOnlyAfterThirtyMore) {
  MovedPortWatch::TimePoint now{};
  int lookUps = 0;
  MovedPortWatch watch(
      kMovedPortPatience, [&now] { return now; }, [&lookUps] { ++lookUps; });
  // A failed open about every second, as the worker retries.
  const auto failFor = [&](milliseconds span) {
    for (milliseconds at(0); at < span; at += milliseconds(1000)) {
      watch.OpenFailed();
      now += milliseconds(1000);
    }
  };
  failFor(milliseconds(30000));
  EXPECT_EQ(lookUps, 0) << "not before 30 s of failures";
  watch.OpenFailed();
  EXPECT_EQ(lookUps, 1);
  failFor(milliseconds(60000));
  EXPECT_EQ(lookUps, 1) << "one look-up at a time";
  watch.LookUpEnded();
  failFor(milliseconds(29000));
  EXPECT_EQ(lookUps, 1) << "after a look-up, another 30 s of failures";
  failFor(milliseconds(2000));
  EXPECT_EQ(lookUps, 2);
  watch.LookUpEnded();
  watch.Opened();
  failFor(milliseconds(29000));
  EXPECT_EQ(lookUps, 2) << "an open starts the patience over";
}

TEST(MovedPortWatch, ALookUpThatCannotStartIsTriedAgainAfterAnotherPatience) {
  MovedPortWatch::TimePoint now{};
  int tries = 0;
  MovedPortWatch watch(
      kMovedPortPatience, [&now] { return now; },
      [&tries] {
        ++tries;
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      });
  for (int second = 0; second <= 61; ++second) {
    EXPECT_NO_THROW(watch.OpenFailed()) << "the link's report goes on";
    now += milliseconds(1000);
  }
  EXPECT_EQ(tries, 2) << "at 30 s and again 30 s later";
}

}  // namespace
}  // namespace tovira
