// The support log in a file system held in memory: dated lines in UTF-8, one
// older generation, never a file past the limit, whatever comes.

#include "ui/support_log.h"

#include <gtest/gtest.h>

#include <map>

namespace tovira {
namespace {

struct MemoryFiles final : SupportLogFiles {
  std::map<std::wstring, std::string>* files;
  bool renameFails = false;

  explicit MemoryFiles(std::map<std::wstring, std::string>* into) : files(into) {}
  std::optional<std::uint64_t> Size(const std::wstring& path) override {
    const auto found = files->find(path);
    if (found == files->end()) return std::nullopt;
    return found->second.size();
  }
  bool Append(const std::wstring& path, const std::string& bytes) override {
    (*files)[path] += bytes;
    return true;
  }
  bool Replace(const std::wstring& from, const std::wstring& to) override {
    if (renameFails || files->count(from) == 0) return false;
    (*files)[to] = (*files)[from];
    files->erase(from);
    return true;
  }
};

constexpr wchar_t kPath[] = L"C:\\log\\Tovira.log";
constexpr wchar_t kOlder[] = L"C:\\log\\Tovira.log.1";

// "2026-12-10 10:00:00.00\tline N\r\n": 31 bytes for N < 10; the limit holds two lines, not three.
std::wstring Line(int number) {
  return L"10:00:00.00\tline " + std::to_wstring(number) + L"\r\n";
}

TEST(SupportLog, KeepsDatedLinesUnderTheLimitWithOneOlderGeneration) {
  std::map<std::wstring, std::string> files;
  files[kPath] = std::string(50, 'x');  // an earlier run's lines
  auto memory = std::make_unique<MemoryFiles>(&files);
  SupportLog log(std::move(memory), kPath, 90);

  log.Write(L"2026-12-10", Line(1));  // 50 + 31: fits
  EXPECT_EQ(files[kPath], std::string(50, 'x') + "2026-12-10 10:00:00.00\tline 1\r\n");
  log.Write(L"2026-12-10", Line(2));  // 81 + 31 > 90: the file becomes the older one
  EXPECT_EQ(files[kOlder], std::string(50, 'x') + "2026-12-10 10:00:00.00\tline 1\r\n");
  EXPECT_EQ(files[kPath], "2026-12-10 10:00:00.00\tline 2\r\n");
  log.Write(L"2026-12-10", Line(3) + Line(4));  // 31 + 62 > 90: again; the oldest generation goes
  EXPECT_EQ(files[kOlder], "2026-12-10 10:00:00.00\tline 2\r\n");
  EXPECT_EQ(files[kPath], "2026-12-10 10:00:00.00\tline 3\r\n2026-12-10 10:00:00.00\tline 4\r\n");

  // A batch larger than the limit: only its newest whole lines (and a new generation).
  log.Write(L"2026-12-11", Line(5) + Line(6) + Line(7) + Line(8));
  EXPECT_EQ(files[kPath], "2026-12-11 10:00:00.00\tline 7\r\n2026-12-11 10:00:00.00\tline 8\r\n");

  // Text beyond ASCII in UTF-8; a lone line feed inside a line is no line of its
  // own; a last line without its break gets one.
  log.Write(L"2026-12-11", L"10:00:01.00\t接\n続済");
  EXPECT_EQ(files[kOlder], "2026-12-11 10:00:00.00\tline 7\r\n2026-12-11 10:00:00.00\tline 8\r\n");
  EXPECT_EQ(files[kPath], "2026-12-11 10:00:01.00\t\xE6\x8E\xA5 \xE7\xB6\x9A\xE6\xB8\x88\r\n");
}

TEST(SupportLog, DropsLinesRatherThanPassTheLimitWhenTheOlderFileCannotBeReplaced) {
  std::map<std::wstring, std::string> files;
  auto memory = std::make_unique<MemoryFiles>(&files);
  MemoryFiles& control = *memory;
  SupportLog log(std::move(memory), kPath, 90);
  log.Write(L"2026-12-10", Line(1) + Line(2));
  control.renameFails = true;
  log.Write(L"2026-12-10", Line(3));
  EXPECT_EQ(files[kPath].size(), 62U) << "the file stays under the limit";
  control.renameFails = false;
  log.Write(L"2026-12-10", Line(4));
  EXPECT_EQ(files[kPath], "2026-12-10 10:00:00.00\tline 4\r\n");
  EXPECT_EQ(files[kOlder].size(), 62U);
}

}  // namespace
}  // namespace tovira
