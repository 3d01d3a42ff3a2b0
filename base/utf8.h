#pragma once
// UTF-8 for files and tools that read text as bytes.

#include <string>
#include <string_view>

namespace tovira {

// UTF-8 of text in wchar_t units (UTF-16 on Windows, UTF-32 elsewhere; a
// surrogate pair is joined either way); a lone surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view text);

}  // namespace tovira
