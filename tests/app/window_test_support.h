#pragma once
// What the tests of the real status window share: the settings file it reads and
// writes, and a message pump that waits for a condition.

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

namespace tovira::window_test {

// Replaces the settings file with these [Settings] values.
void WriteSettings(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values);
std::wstring ReadSetting(const wchar_t* key);

// Runs the thread's messages until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

std::wstring Text(HWND control);

}  // namespace tovira::window_test
