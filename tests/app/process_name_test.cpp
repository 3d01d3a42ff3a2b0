#include "app/process_name.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(ProcessName, StripsFolderAndExeExtension) {
  const struct {
    const wchar_t* path;
    const wchar_t* name;
  } cases[] = {
      {L"C:\\Program Files\\Tovira\\Tovira.exe", L"Tovira"},
      {L"Tovira.EXE", L"Tovira"},
      {L"/usr/lib/wine/Tovira.Exe", L"Tovira"},
      {L"C:\\トヴィラ\\Tovira.exe", L"Tovira"},
      {L"C:\\tools\\Tovira", L"Tovira"},                  // no extension
      {L"C:\\tools\\Tovira.exe.bak", L"Tovira.exe.bak"},  // only a final ".exe" goes
      {L"C:\\tools\\.exe", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProcessNameFromImagePath(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace tovira
