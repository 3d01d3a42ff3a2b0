// open_recorder: stands in for the program the shell starts to open a page.
// Registered as the "open" command of a file type, it writes the item it was
// asked to open (UTF-8) to RECORD_FILE, whole: first to RECORD_FILE.part, then
// renamed, so a reader never sees half of it.
//   open_recorder.exe RECORD_FILE ITEM

#include <windows.h>

#include <string>

namespace {

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
  const std::wstring part = path + L".part";
  const HANDLE file =
      ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool wrote = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  ::CloseHandle(file);
  return wrote && ::MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                          nullptr, nullptr);
  }
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  return WriteWhole(argv[1], Utf8(argv[2])) ? 0 : 1;
}
