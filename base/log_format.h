#pragma once
// Formatting of the diagnostic log's lines; the panel itself is the window's.

#include <cstddef>
#include <string>
#include <string_view>

namespace tovira {

inline constexpr std::size_t kLogFormatBufferUnits = 65536;
// The "LogMode" value that switches the log panel on.
inline constexpr std::wstring_view kLogModeAccessCode = L"730259";

// printf-style formatting into a buffer of 65,536 units; "Log Buffer Format
// Error" when the format fails or the result does not fit.
std::wstring FormatLogText(const wchar_t* format, ...);

struct LocalTimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// "HH:mm:ss.ff", a tab, the text, CR LF.
std::wstring FormatLogLine(const LocalTimeOfDay& time, std::wstring_view text);

// The log panel holds at most kLogPanelLimit units; past it the oldest lines go,
// leaving about kLogPanelKeep (some 1,500 lines).
inline constexpr std::size_t kLogPanelLimit = 65536;
inline constexpr std::size_t kLogPanelKeep = 32768;

// How many leading units of `text` to drop so that at most `keep` remain, cut after
// a line break so that no line is left half; 0 when nothing needs to go.
std::size_t LogLinesToDrop(std::wstring_view text, std::size_t keep);

// Exactly the access code: same length, same characters, nothing trimmed.
bool IsLogModeCode(std::wstring_view value);

}  // namespace tovira
