#pragma once
// Formatting of the diagnostic log's lines; the panel itself is Win32.

#include <string>
#include <string_view>

namespace tovira {

inline constexpr std::size_t kLogFormatBufferUnits = 65536;
inline constexpr std::wstring_view kLogFormatError = L"Log Buffer Format Error";
// The "LogMode" value that switches the log panel on.
inline constexpr std::wstring_view kLogModeAccessCode = L"730259";

// printf-style formatting into a buffer of 65,536 units; "Log Buffer Format
// Error" when the format fails or the result does not fit.
std::wstring PutLogF(const wchar_t* format, ...);

struct LocalTimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// "HH:mm:ss.ff", a tab, the text, CR LF.
std::wstring FormatLogLine(const LocalTimeOfDay& time, std::wstring_view text);

// Exactly the access code: same length, same characters, nothing trimmed.
bool IsLogModeCode(std::wstring_view value);

}  // namespace tovira
