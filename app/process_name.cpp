#include "app/process_name.h"

namespace tovira {
namespace {

wchar_t AsciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EndsWithIgnoringAsciiCase(std::wstring_view text, std::wstring_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::wstring_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (AsciiLower(tail[i]) != AsciiLower(suffix[i])) return false;
  }
  return true;
}

}  // namespace

std::wstring_view ProcessNameFromImagePath(std::wstring_view imagePath) {
  const std::size_t slash = imagePath.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? imagePath : imagePath.substr(slash + 1);
  if (EndsWithIgnoringAsciiCase(name, L".exe")) name.remove_suffix(4);
  return name;
}

}  // namespace tovira
