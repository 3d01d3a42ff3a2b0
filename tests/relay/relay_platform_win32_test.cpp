#include "relay/relay_platform_win32.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

// The check runs at every loss of the link: what it keeps must be the paths, not
// a buffer of the longest path for each of up to 1,024 processes.
TEST(RelayPlatform, RunningImagePathsFindThisProgramAndKeepOnlyTheirOwnLength) {
  Win32RelayPlatform platform;
  const auto paths = platform.RunningImagePathsUpper();
  ASSERT_TRUE(paths);
  bool found = false;
  for (const std::wstring& path : *paths) {
    found = found || path.find(L"TOVIRA_WIN32_TESTS.EXE") != std::wstring::npos;
    EXPECT_LT(path.capacity(), 1024u) << path.size() << " units kept in " << path.capacity();
  }
  EXPECT_TRUE(found) << "this program's own path, upper-cased";
}

}  // namespace
}  // namespace tovira
