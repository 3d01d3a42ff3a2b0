#include "app/process_list_win32.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "app/process_name.h"
#include "base/scoped_handle_win32.h"

namespace tovira {
namespace {

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring CurrentProcessName() {
  // A path longer than MAX_PATH is possible: grow until it fits.
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return std::wstring(ProcessNameFromImagePath({path.data(), length}));
    path.resize(path.size() * 2);
  }
}

int CountProcessesNamed(std::wstring_view processName) {
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (SameNameIgnoringCase(ProcessNameFromImagePath(entry.szExeFile), processName)) ++count;
  }
  return count;
}

}  // namespace tovira
