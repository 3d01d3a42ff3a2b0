// The support log in a file system held in memory: dated lines in UTF-8, one
// older generation, never a file past the limit, whatever comes; a file that
// cannot be renamed keeps the newest lines and is said once.

#include "ui/support_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>

#include "base/texts_ja.h"
#include "base/utf8.h"

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
  std::optional<std::string> Tail(const std::wstring& path, std::uint64_t count) override {
    const std::string& bytes = (*files)[path];
    return bytes.substr(bytes.size() - std::min<std::size_t>(bytes.size(), count));
  }
  bool Rewrite(const std::wstring& path, const std::string& bytes) override {
    (*files)[path] = bytes;
    return true;
  }
};

constexpr wchar_t kPath[] = L"C:\\log\\Tovira.log";
constexpr wchar_t kOlder[] = L"C:\\log\\Tovira.log.1";

constexpr LocalTimeOfDay kNow{10, 0, 5, 0};

// "2026-12-10 10:00:00.00\tline N\r\n": 31 bytes for N < 10; the limit holds two lines, not three.
std::wstring Line(int number) {
  return L"10:00:00.00\tline " + std::to_wstring(number) + L"\r\n";
}

// Line(number) as the file holds it.
std::string FileLine(int number) {
  return "2026-12-10 10:00:00.00\tline " + std::to_string(number) + "\r\n";
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(SupportLog, KeepsDatedLinesUnderTheLimitWithOneOlderGeneration) {
  std::map<std::wstring, std::string> files;
  files[kPath] = std::string(50, 'x');  // an earlier run's lines
  auto memory = std::make_unique<MemoryFiles>(&files);
  SupportLog log(std::move(memory), kPath, 90);

  log.Write(L"2026-12-10", kNow, Line(1));  // 50 + 31: fits
  EXPECT_EQ(files[kPath], std::string(50, 'x') + "2026-12-10 10:00:00.00\tline 1\r\n");
  log.Write(L"2026-12-10", kNow, Line(2));  // 81 + 31 > 90: the file becomes the older one
  EXPECT_EQ(files[kOlder], std::string(50, 'x') + "2026-12-10 10:00:00.00\tline 1\r\n");
  EXPECT_EQ(files[kPath], "2026-12-10 10:00:00.00\tline 2\r\n");
  log.Write(L"2026-12-10", kNow, Line(3) + Line(4));  // 31 + 62 > 90: again; the oldest generation goes
  EXPECT_EQ(files[kOlder], "2026-12-10 10:00:00.00\tline 2\r\n");
  EXPECT_EQ(files[kPath], "2026-12-10 10:00:00.00\tline 3\r\n2026-12-10 10:00:00.00\tline 4\r\n");

  // A batch larger than the limit: only its newest whole lines (and a new generation).
  log.Write(L"2026-12-11", kNow, Line(5) + Line(6) + Line(7) + Line(8));
  EXPECT_EQ(files[kPath], "2026-12-11 10:00:00.00\tline 7\r\n2026-12-11 10:00:00.00\tline 8\r\n");

  // Text beyond ASCII in UTF-8; a lone line feed inside a line is no line of its
  // own; a last line without its break gets one.
  log.Write(L"2026-12-11", kNow, L"10:00:01.00\t接\n続済");
  EXPECT_EQ(files[kOlder], "2026-12-11 10:00:00.00\tline 7\r\n2026-12-11 10:00:00.00\tline 8\r\n");
  EXPECT_EQ(files[kPath], "2026-12-11 10:00:01.00\t\xE6\x8E\xA5 \xE7\xB6\x9A\xE6\xB8\x88\r\n");
}

TEST(SupportLog, AfterEachRotationTheFileGrowsAgainUpToTheLimitAndKeepsTheNewestLinesThatFit) {
  std::map<std::wstring, std::string> files;
  // The limit holds three lines, exactly.
  SupportLog log(std::make_unique<MemoryFiles>(&files), kPath, 3 * FileLine(1).size());
  const auto batch = [](std::initializer_list<int> numbers) {
    std::wstring joined;
    for (const int number : numbers) joined += Line(number);
    return joined;
  };
  const auto inFile = [](std::initializer_list<int> numbers) {
    std::string joined;
    for (const int number : numbers) joined += FileLine(number);
    return joined;
  };
  const struct {
    std::initializer_list<int> written;
    std::initializer_list<int> file;
    std::initializer_list<int> older;
  } writes[] = {
      {{1}, {1}, {}},
      {{2, 3, 4, 5}, {3, 4, 5}, {1}},  // too big a batch: its newest three, exactly the limit
      {{6}, {6}, {3, 4, 5}},
      {{7}, {6, 7}, {3, 4, 5}},
      {{8}, {6, 7, 8}, {3, 4, 5}},  // the limit reached again, not passed
      {{9}, {9}, {6, 7, 8}},
  };
  for (const auto& write : writes) {
    SCOPED_TRACE(*(write.written.end() - 1));
    log.Write(L"2026-12-10", kNow, batch(write.written));
    EXPECT_EQ(files[kPath], inFile(write.file));
    EXPECT_EQ(files[kOlder], inFile(write.older));
  }
}

TEST(SupportLog, KeepsTheNewestLinesAndSaysSoOnceWhileTheFileCannotBeRenamed) {
  std::map<std::wstring, std::string> files;
  auto memory = std::make_unique<MemoryFiles>(&files);
  MemoryFiles& control = *memory;
  constexpr std::uint64_t kLimit = 200;
  SupportLog log(std::move(memory), kPath, kLimit);
  for (int number = 1; number <= 6; ++number) EXPECT_EQ(log.Write(L"2026-12-10", kNow, Line(number)), L"");
  ASSERT_EQ(files[kPath].size(), 186U);

  // Another program holds the file: 186 + 31 would pass the limit, and no rename.
  control.renameFails = true;
  const std::wstring said = log.Write(L"2026-12-10", kNow, Line(7));
  EXPECT_EQ(said, L"10:00:05.00\t" + std::wstring(texts::kSupportLogCannotRotate) + L"\r\n")
      << "for the panel";
  const std::string notice = "2026-12-10 10:00:05.00\t" + Utf8(texts::kSupportLogCannotRotate) + "\r\n";
  EXPECT_EQ(files[kPath], FileLine(4) + FileLine(5) + FileLine(6) + FileLine(7) + notice)
      << "the file starts over with the newer half of its lines, the new one and the notice";
  EXPECT_EQ(files.count(kOlder), 0U);

  // Still held: each line reaches the file, which stays under the limit; nothing more is said.
  for (int number = 8; number <= 40; ++number) {
    EXPECT_EQ(log.Write(L"2026-12-10", kNow, Line(number)), L"") << number;
    const std::string& file = files[kPath];
    EXPECT_LE(file.size(), kLimit) << number;
    EXPECT_EQ(file.substr(file.size() - FileLine(number).size()), FileLine(number)) << number;
    EXPECT_LE(Count(file, notice), 1U) << number;
  }

  // Released: the file becomes the older one again, and a later hold is said again.
  control.renameFails = false;
  const std::string held = files[kPath];
  int number = 41;
  while (files.count(kOlder) == 0 && number < 60)
    EXPECT_EQ(log.Write(L"2026-12-10", kNow, Line(number++)), L"");
  ASSERT_EQ(files[kOlder].substr(0, held.size()), held);
  control.renameFails = true;
  std::wstring saidAgain;
  while (saidAgain.empty() && number < 60) saidAgain = log.Write(L"2026-12-10", kNow, Line(number++));
  EXPECT_EQ(saidAgain, said);
  EXPECT_EQ(Count(files[kPath], notice), 1U);
}

}  // namespace
}  // namespace tovira
