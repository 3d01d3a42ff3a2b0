#include "base/log_format.h"

#include <array>
#include <cstdarg>
#include <cwchar>
#include <memory>
#include <optional>

#include "base/texts_ja.h"

namespace tovira {

namespace {

// The text if it fits in the buffer of this many units, the terminator included.
std::optional<std::wstring> FormatInto(wchar_t* buffer, std::size_t units, const wchar_t* format,
                                       va_list args) {
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): the caller started it
  const int written = std::vswprintf(buffer, units, format, args);
  if (written < 0 || static_cast<std::size_t>(written) >= units) return std::nullopt;
  return std::wstring(buffer, static_cast<std::size_t>(written));
}

}  // namespace

// Lines are short: they are made on the stack, and only a longer one takes the
// full-size buffer (not cleared first: the relay formats a line or two per frame).
std::wstring FormatLogText(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  std::array<wchar_t, 256> shortLine;
  std::optional<std::wstring> text = FormatInto(shortLine.data(), shortLine.size(), format, args);
  if (!text) {
    const auto longLine = std::make_unique_for_overwrite<wchar_t[]>(kLogFormatBufferUnits);
    text = FormatInto(longLine.get(), kLogFormatBufferUnits, format, again);
  }
  va_end(again);
  va_end(args);
  return text ? std::move(*text) : std::wstring(texts::kLogFormatError);
}

std::wstring FormatLogLine(const LocalTimeOfDay& time, std::wstring_view text) {
  wchar_t stamp[32];
  std::swprintf(stamp, 32, L"%02d:%02d:%02d.%02d\t", time.hour, time.minute, time.second,
                time.millisecond / 10);
  std::wstring line = stamp;
  line += text;
  line += L"\r\n";
  return line;
}

bool IsLogModeCode(std::wstring_view value) {
  return value == kLogModeAccessCode;
}

std::size_t LogLinesToDrop(std::wstring_view text, std::size_t keep) {
  if (text.size() <= keep) return 0;
  const std::size_t firstKept = text.size() - keep;
  // The line that straddles the cut goes too.
  const std::size_t lineEnd = text.find(L'\n', firstKept == 0 ? 0 : firstKept - 1);
  return lineEnd == std::wstring_view::npos ? text.size() : lineEnd + 1;
}

}  // namespace tovira
