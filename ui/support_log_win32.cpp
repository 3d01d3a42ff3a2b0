#include "ui/support_log_win32.h"

#include <windows.h>

#include <algorithm>

#include "base/scoped_handle_win32.h"

namespace tovira {

std::optional<std::uint64_t> Win32SupportLogFiles::Size(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32SupportLogFiles::Append(const std::wstring& path, const std::string& bytes) {
  const UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool Win32SupportLogFiles::Replace(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::optional<std::string> Win32SupportLogFiles::Tail(const std::wstring& path, std::uint64_t count) {
  const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return std::nullopt;
  const auto total = static_cast<std::uint64_t>(size.QuadPart);
  // The support log's files stay under its limit (1 MB): one read holds the tail.
  const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>({count, total, MAXDWORD}));
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(total - wanted);
  if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return std::nullopt;
  std::string bytes(wanted, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), wanted, &read, nullptr)) return std::nullopt;
  bytes.resize(read);
  return bytes;
}

bool Win32SupportLogFiles::Rewrite(const std::wstring& path, const std::string& bytes) {
  // Shared as Append's handle is: a program that may read the file while we append
  // may also see it start over.
  const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace tovira
