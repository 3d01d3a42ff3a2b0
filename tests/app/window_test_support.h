#pragma once
// What the tests of the real program's window share: the settings file it reads
// and writes, beside the status window's own test helpers.

#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "tests/ui/status_window_test_support.h"

namespace tovira::window_test {

// Replaces the settings file with these [Settings] values.
void WriteSettings(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values);
std::wstring ReadSetting(const wchar_t* key);

}  // namespace tovira::window_test
