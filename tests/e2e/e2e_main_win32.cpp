// End-to-end tests: `tovira_e2e_tests --tovira-dir=<win64 build tree>` under Wine.

#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include "tests/e2e/harness_win32.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  constexpr std::string_view kDirFlag = "--tovira-dir=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg.substr(0, kDirFlag.size()) == kDirFlag) {
      tovira::e2e::SetBuildDir(tovira::e2e::WindowsPathFromHost(arg.substr(kDirFlag.size())));
    }
  }
  if (tovira::e2e::ToviraExePath(1) == L"\\mode1\\Tovira.exe") {
    std::fprintf(stderr, "usage: tovira_e2e_tests --tovira-dir=<win64 build tree>\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
