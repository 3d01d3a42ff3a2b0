#include "ui/support_log.h"

#include <utility>

#include "base/utf8.h"

namespace tovira {
namespace {

// Each line of `lines` (ended by CR LF, as the panel's) with `date` and a space
// before it; a lone CR or LF inside a line, which the panel does not break at,
// becomes a space, and a last line without its break gets one.
std::string Dated(std::wstring_view date, std::wstring_view lines) {
  const std::string prefix = Utf8(date) + " ";
  std::string out;
  std::size_t begin = 0;
  while (begin < lines.size()) {
    const std::size_t lineBreak = lines.find(L"\r\n", begin);
    const std::size_t end = lineBreak == std::wstring_view::npos ? lines.size() : lineBreak;
    std::wstring line(lines.substr(begin, end - begin));
    for (wchar_t& unit : line) {
      if (unit == L'\r' || unit == L'\n') unit = L' ';
    }
    out += prefix + Utf8(line) + "\r\n";
    begin = lineBreak == std::wstring_view::npos ? lines.size() : lineBreak + 2;
  }
  return out;
}

// The newest whole lines of `bytes` that fit in `limit`.
std::string NewestLines(std::string bytes, std::uint64_t limit) {
  if (bytes.size() <= limit) return bytes;
  // The first line that begins at or after the cut.
  const std::size_t cut = bytes.size() - static_cast<std::size_t>(limit);
  const std::size_t lastBreak = bytes.find('\n', cut - 1);
  return lastBreak == std::string::npos ? std::string() : bytes.substr(lastBreak + 1);
}

}  // namespace

SupportLog::SupportLog(std::unique_ptr<SupportLogFiles> files, std::wstring path, std::uint64_t limit)
    : files_(std::move(files)), path_(std::move(path)), limit_(limit) {}

void SupportLog::Write(std::wstring_view date, std::wstring_view lines) {
  const std::string bytes = NewestLines(Dated(date, lines), limit_);
  if (bytes.empty()) return;
  if (!size_) size_ = files_->Size(path_).value_or(0);
  if (*size_ + bytes.size() > limit_) {
    // The file stays under the limit: without its rename the lines are dropped.
    if (!files_->Replace(path_, olderPath())) {
      size_.reset();
      return;
    }
    size_ = 0;
  }
  if (files_->Append(path_, bytes)) {
    *size_ += bytes.size();
  } else {
    size_.reset();  // ask again next time
  }
}

}  // namespace tovira
