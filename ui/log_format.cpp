#include "ui/log_format.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace tovira {

std::wstring PutLogF(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(kLogFormatBufferUnits, L'\0');
  va_list args;
  va_start(args, format);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): started just above
  const int written = std::vswprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  if (written < 0 || static_cast<std::size_t>(written) >= buffer.size()) return std::wstring(kLogFormatError);
  return std::wstring(buffer.data(), static_cast<std::size_t>(written));
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
