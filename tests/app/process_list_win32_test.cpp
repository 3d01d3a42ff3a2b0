#include "app/process_list_win32.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(ProcessList, CountsThisProcessByItsOwnName) {
  const std::wstring name = CurrentProcessName();
  EXPECT_EQ(name, L"tovira_win32_tests");
  EXPECT_EQ(CountProcessesNamed(name), 1);
}

TEST(ProcessList, NameComparisonIgnoresLetterCase) {
  EXPECT_EQ(CountProcessesNamed(L"TOVIRA_WIN32_TESTS"), 1);
  EXPECT_EQ(CountProcessesNamed(L"tovira_win32_test"), 0);  // a prefix is not the name
  EXPECT_EQ(CountProcessesNamed(L""), 0);
}

}  // namespace
}  // namespace tovira
