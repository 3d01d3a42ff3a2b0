#pragma once
// Texts the user sees, exactly as the product shows them.

#include <string_view>

namespace tovira::texts {

inline constexpr std::wstring_view kWindowTitle = L"トヴィラ";
inline constexpr std::wstring_view kAlreadyRunning = L"トヴィラは起動されています。";
inline constexpr std::wstring_view kAlreadyRunningCaption = L"二重起動はできません。";

}  // namespace tovira::texts
