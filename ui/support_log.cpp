#include "ui/support_log.h"

#include <algorithm>
#include <utility>

#include "base/texts_ja.h"
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

std::wstring SupportLog::Write(std::wstring_view date, const LocalTimeOfDay& now, std::wstring_view lines) {
  const std::string bytes = NewestLines(Dated(date, lines), limit_);
  if (bytes.empty()) return {};
  if (!size_) size_ = files_->Size(path_).value_or(0);
  if (*size_ + bytes.size() > limit_) {
    if (files_->Replace(path_, olderPath())) {
      size_ = 0;
      cannotRotateSaid_ = false;
    } else {
      // The file may have gone or shrunk meanwhile (a carer deleted it, say).
      size_ = files_->Size(path_).value_or(0);
      if (*size_ + bytes.size() > limit_) {
        std::wstring notice;
        if (!cannotRotateSaid_) notice = FormatLogLine(now, texts::kSupportLogCannotRotate);
        cannotRotateSaid_ = true;
        StartOver(NewestLines(bytes + Dated(date, notice), limit_));
        return notice;
      }
    }
  }
  if (files_->Append(path_, bytes)) {
    *size_ += bytes.size();
  } else {
    size_.reset();  // ask again next time
  }
  return {};
}

// The file cannot be renamed. A carer sends it to show what happened lately, so
// the newest lines win: rather than drop them (the file would keep only the
// oldest), it starts over with the newer half of its own lines and then these.
// Half, so that it starts over once per half a limit of lines, not at each write.
void SupportLog::StartOver(const std::string& bytes) {
  const std::uint64_t room = std::min<std::uint64_t>(limit_ / 2, limit_ - bytes.size());
  // One byte more than the room: NewestLines then sees whether the tail begins inside a line.
  const std::string kept = NewestLines(files_->Tail(path_, room + 1).value_or(std::string()), room);
  if (files_->Rewrite(path_, kept + bytes)) {
    size_ = kept.size() + bytes.size();
  } else {
    size_.reset();
  }
}

}  // namespace tovira
