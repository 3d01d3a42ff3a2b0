// window_probe: looks at and drives Tovira's status window from outside, for the demo
// and for people trying Tovira by hand under Wine.
//   window_probe wait [ms]   wait until the window "トヴィラ" exists and answers (exit 1 if not)
//   window_probe show        show it in normal size, as the tray's test item does
//   window_probe close       ask it to close
//   window_probe endsession  tell it the session ends, as Windows does at log-off
//   window_probe resume      tell it the PC has resumed from sleep, as Windows does
//   window_probe port-arrival   tell it a device (a serial port) has arrived, as
//                            Windows does (the device's details are left out)
//   window_probe state       print whether it exists and is visible, its handle,
//                            whether it has caption buttons, and how many top-level
//                            windows bear its title
//   window_probe log         print the log panel's text
//   window_probe text ID     print the text of the control with this id
//   window_probe control ID  print a control's state: visible, enabled, items, selection
//   window_probe click ID    press the button with this id
//   window_probe rect ID     print a control's width and height in pixels
//   window_probe dismiss CAPTION [ms]   wait for a message box with this caption,
//                            print its texts and its shown buttons, then press its
//                            OK button
//   window_probe bounds      print the window's screen rectangle: left top width height
//   window_probe dialog CAPTION [ms]   wait for a dialog with this caption, print its
//                            rectangle as bounds does
//   window_probe tray        print whether Tovira's tray icon is in the notification area
//   window_probe explorer-restart   drop the icon and announce "TaskbarCreated", as a
//                            restarted Explorer does (its icons are gone)
//   window_probe choose INDEX   choose the device list's entry as a user does; print
//                            the time of the choice (seconds since 1970, as the
//                            target monitor stamps its lines) and how long the
//                            window took to handle it
//   window_probe resources   print what Tovira's process holds: handles, GDI and
//                            USER objects, private bytes, working set
//   window_probe freeze-window MS   suspend the window's thread (as a busy or stuck
//                            thread that runs nothing); print a line once it is
//                            held, resume it at a line or the end of standard
//                            input, at the latest after MS
//   window_probe foreign-messages   post and send the message numbers of the private
//                            ranges (WM_USER and WM_APP onwards) with junk
//                            parameters, as any program on the desktop can, then
//                            a WM_QUIT to the window's thread; print how they
//                            were taken
// Before the command, --desktop NAME looks on that desktop instead of the
// caller's (a second Wine desktop, as the screenshots at other scalings use).

#include <windows.h>
#include <dbt.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <string>
#include <vector>

#include "base/scoped_handle_win32.h"
#include "tools/process_counts_win32.h"
#include "ui/control_ids.h"
#include "ui/window_messages_win32.h"

namespace {

constexpr wchar_t kTitle[] = L"トヴィラ";

HWND FindToviraWindow() {
  return ::FindWindowW(tovira::kMainWindowClass.data(), kTitle);
}

int Wait(DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (FindToviraWindow() == nullptr) {
    if (::GetTickCount64() >= deadline) {
      std::fwprintf(stderr, L"window_probe: no Tovira window after %lu ms\n", timeoutMs);
      return 1;
    }
    ::Sleep(20);
  }
  // The window is found as soon as it exists, before its controls and pictures
  // are made; its thread answers a sent message only once it is back in its loop.
  const ULONGLONG now = ::GetTickCount64();
  const UINT left = static_cast<UINT>(deadline > now ? deadline - now : 1);
  DWORD_PTR ignored = 0;
  if (::SendMessageTimeoutW(FindToviraWindow(), WM_NULL, 0, 0, SMTO_NORMAL, left, &ignored) == 0) {
    std::fwprintf(stderr, L"window_probe: the Tovira window did not answer within %lu ms\n", timeoutMs);
    return 1;
  }
  return 0;
}

// The work area of the window's monitor: left top width height. Asked again for
// a while when no answer comes (a test once saw none, on a loaded machine), and
// the failure is said in the log.
int PrintWorkArea(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  for (int attempt = 0; !::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
       ++attempt) {
    if (attempt == 100) {
      std::fwprintf(stderr, L"window_probe: no monitor information (error %lu)\n", ::GetLastError());
      return 1;
    }
    ::Sleep(20);
  }
  const RECT& work = monitor.rcWork;
  std::wprintf(L"%ld %ld %ld %ld\n", work.left, work.top, work.right - work.left, work.bottom - work.top);
  return 0;
}

BOOL CALLBACK PrintChildText(HWND child, LPARAM) {
  wchar_t text[512] = {};
  ::GetWindowTextW(child, text, 512);
  if (text[0] != L'\0') std::wprintf(L"%ls\n", text);
  return TRUE;
}

// A shown dialog with this caption, once what it sets on showing is in place.
HWND WaitForVisibleDialog(const wchar_t* caption, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  HWND box = nullptr;
  while ((box = ::FindWindowW(L"#32770", caption)) == nullptr || !::IsWindowVisible(box)) {
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(20);
  }
  ::Sleep(300);
  return box;
}

BOOL CALLBACK CountShownButton(HWND child, LPARAM count) {
  wchar_t name[16] = {};
  ::GetClassNameW(child, name, 16);
  if (::_wcsicmp(name, L"Button") == 0 && ::IsWindowVisible(child)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Message texts are printed as UTF-8, one per line, then a last line with the
// number of shown buttons and whether one is the OK button.
int Dismiss(const wchar_t* caption, DWORD timeoutMs) {
  HWND box = WaitForVisibleDialog(caption, timeoutMs);
  if (box == nullptr) return 1;
  ::EnumChildWindows(box, PrintChildText, 0);
  int buttons = 0;
  ::EnumChildWindows(box, CountShownButton, reinterpret_cast<LPARAM>(&buttons));
  std::wprintf(L"{\"buttons\":%d,\"ok\":%ls}\n", buttons,
               ::GetDlgItem(box, IDOK) != nullptr ? L"true" : L"false");
  std::fflush(stdout);
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
  return 0;
}

void PrintBounds(HWND window) {
  RECT box{};
  ::GetWindowRect(window, &box);
  std::wprintf(L"%ld %ld %ld %ld\n", box.left, box.top, box.right - box.left, box.bottom - box.top);
}

int PrintDialogBounds(const wchar_t* caption, DWORD timeoutMs) {
  HWND box = WaitForVisibleDialog(caption, timeoutMs);
  if (box == nullptr) return 1;
  PrintBounds(box);
  return 0;
}

// Whether the shell gives the window a task-bar button: shown, top-level and
// unowned, not a tool window (or marked as an application window).
bool HasTaskBarButton(HWND window) {
  if (window == nullptr || !::IsWindowVisible(window)) return false;
  const LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  if ((exStyle & WS_EX_APPWINDOW) != 0) return true;
  return ::GetWindow(window, GW_OWNER) == nullptr && (exStyle & WS_EX_TOOLWINDOW) == 0;
}

int PrintResources(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  const tovira::UniqueHandle owner(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!owner) return 1;
  HANDLE process = owner.get();
  const tovira::tools::ProcessCounts counts = tovira::tools::CountProcessObjects(process, processId);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
  std::wprintf(L"{\"handles\":%lu,\"gdi\":%lu,\"user\":%lu,\"private\":%llu,\"workingSet\":%llu}\n",
               counts.handles, counts.gdiObjects, counts.userObjects,
               static_cast<unsigned long long>(memory.PrivateUsage),
               static_cast<unsigned long long>(memory.WorkingSetSize));
  return 0;
}

NOTIFYICONDATAW TrayIconOf(HWND window) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = 1;  // Tovira's one icon
  return data;
}

int PrintTrayIcon(HWND window) {
  NOTIFYICONDATAW data = TrayIconOf(window);
  // A change of nothing succeeds only for an icon that is there.
  const bool present = ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
  std::wprintf(L"{\"icon\":%ls}\n", present ? L"true" : L"false");
  return 0;
}

int RestartExplorer(HWND window) {
  NOTIFYICONDATAW data = TrayIconOf(window);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
  NOTIFYICONDATAW check = TrayIconOf(window);
  const bool gone = ::Shell_NotifyIconW(NIM_MODIFY, &check) == FALSE;
  ::SendMessageW(window, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  std::wprintf(L"{\"dropped\":%ls}\n", gone ? L"true" : L"false");
  return 0;
}

BOOL CALLBACK CountTitled(HWND window, LPARAM count) {
  wchar_t text[16] = {};
  ::GetWindowTextW(window, text, 16);
  if (std::wcscmp(text, kTitle) == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Top-level windows of any class and process titled as Tovira's: a second copy
// that built its window before refusing to run would show here.
int CountTitledWindows() {
  int count = 0;
  ::EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&count));
  return count;
}

// The probe's own thread looks at another desktop of the window station.
bool UseDesktop(const wchar_t* name) {
  HDESK desktop = ::OpenDesktopW(name, 0, FALSE, GENERIC_ALL);
  return desktop != nullptr && ::SetThreadDesktop(desktop);
}

int PrintControlText(HWND window, int id) {
  HWND control = ::GetDlgItem(window, id);
  if (control == nullptr) return 1;
  const LRESULT length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(control, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                 reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  std::wprintf(L"%ls", text.c_str());
  return 0;
}

int PrintControlState(HWND window, int id) {
  HWND control = ::GetDlgItem(window, id);
  if (control == nullptr) return 1;
  std::wprintf(L"{\"visible\":%ls,\"enabled\":%ls,\"items\":%ld,\"selected\":%ld,\"checked\":%ld}\n",
               // The control's own visibility: the whole window is hidden while resident.
               (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0 ? L"true" : L"false",
               ::IsWindowEnabled(control) ? L"true" : L"false",
               static_cast<long>(::SendMessageW(control, CB_GETCOUNT, 0, 0)),
               static_cast<long>(::SendMessageW(control, CB_GETCURSEL, 0, 0)),
               static_cast<long>(::SendMessageW(control, BM_GETCHECK, 0, 0)));
  return 0;
}

double NowSeconds() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
}

// The committed choice of a user: the selection, then CBN_SELENDOK.
int ChooseDevice(HWND window, int index) {
  HWND chooser = ::GetDlgItem(window, tovira::kIdDeviceList);
  if (chooser == nullptr || ::SendMessageW(chooser, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index)
    return 1;
  const double chosen = NowSeconds();
  DWORD_PTR result = 0;
  const LRESULT handled =
      ::SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(tovira::kIdDeviceList, CBN_SELENDOK),
                            reinterpret_cast<LPARAM>(chooser), SMTO_NORMAL, 20000, &result);
  std::wprintf(L"{\"t\":%.6f,\"handledMs\":%.1f}\n", chosen, (NowSeconds() - chosen) * 1000.0);
  return handled != 0 ? 0 : 1;
}

// Whether the window's thread takes a sent message within `timeoutMs`.
bool Answers(HWND window, UINT timeoutMs) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

DWORD WINAPI WaitForInputLine(void*) {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  char byte = 0;
  DWORD read = 0;
  while (::ReadFile(input, &byte, 1, &read, nullptr) && read == 1 && byte != '\n') {
  }
  return 0;
}

// Wine 8 suspends a thread of another process as Windows does (seen: the window
// then answers no sent message until it is resumed).
int FreezeWindowThread(HWND window, DWORD limitMs) {
  const DWORD threadId = ::GetWindowThreadProcessId(window, nullptr);
  const tovira::UniqueHandle thread(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId));
  if (!thread || ::SuspendThread(thread.get()) == static_cast<DWORD>(-1)) {
    std::fwprintf(stderr, L"window_probe: cannot suspend thread %lu (error %lu)\n", threadId,
                  ::GetLastError());
    return 1;
  }
  // A suspended thread takes no sent message: shows that the suspension holds.
  if (Answers(window, 1000)) {
    ::ResumeThread(thread.get());
    std::fwprintf(stderr, L"window_probe: thread %lu still answers while suspended\n", threadId);
    return 1;
  }
  std::wprintf(L"{\"suspended\":%lu}\n", threadId);
  std::fflush(stdout);
  const tovira::UniqueHandle reader(::CreateThread(nullptr, 0, WaitForInputLine, nullptr, 0, nullptr));
  if (reader) ::WaitForSingleObject(reader.get(), limitMs);
  if (!reader) ::Sleep(limitMs);
  ::ResumeThread(thread.get());
  std::wprintf(L"{\"resumed\":%lu}\n", threadId);
  std::fflush(stdout);
  return 0;
}

// Nothing here reads what a parameter points at: the numbers carry no marshalled
// data between processes. Every send is bounded, and so is the whole run.
int SendForeignMessages(HWND window) {
  std::vector<UINT> numbers;
  for (UINT offset = 0; offset <= 0x40; ++offset) {
    numbers.push_back(WM_USER + offset);
    numbers.push_back(WM_APP + offset);
  }
  for (UINT spread : {0x0500u, 0x1000u, 0x4000u, 0x7FFFu, 0x8800u, 0x9000u, 0xA000u, 0xBFFFu}) {
    numbers.push_back(spread);
  }
  std::mt19937_64 random(0x70C1AA);
  const ULONG_PTR fixed[] = {0, 1, ~ULONG_PTR{0}, 0xDEADBEEF, 0x12345678};
  const ULONGLONG deadline = ::GetTickCount64() + 30000;
  unsigned long posted = 0, answered = 0, unanswered = 0;
  bool gone = false;
  bool complete = true;
  for (const UINT number : numbers) {
    for (std::size_t pattern = 0; pattern <= std::size(fixed); ++pattern) {
      const bool junk = pattern == std::size(fixed);
      const auto wParam = static_cast<WPARAM>(junk ? random() : fixed[pattern]);
      const auto lParam = static_cast<LPARAM>(junk ? random() : fixed[pattern]);
      if (!::IsWindow(window)) gone = true;
      if (::GetTickCount64() >= deadline) complete = false;
      if (gone || !complete) break;
      if (::PostMessageW(window, number, wParam, lParam)) ++posted;
      DWORD_PTR result = 0;
      if (::SendMessageTimeoutW(window, number, wParam, lParam, SMTO_ABORTIFHUNG, 100, &result) != 0) {
        ++answered;
      } else {
        ++unanswered;
      }
    }
  }
  // Last, the quit any program can post to the window's thread.
  const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  const bool quitPosted = thread != 0 && ::PostThreadMessageW(thread, WM_QUIT, 0, 0) != FALSE;
  ::Sleep(500);
  if (!::IsWindow(window)) gone = true;
  std::wprintf(
      L"{\"posted\":%lu,\"answered\":%lu,\"unanswered\":%lu,\"quitPosted\":%ls,\"windowGone\":%ls,"
      L"\"complete\":%ls}\n",
      posted, answered, unanswered, quitPosted ? L"true" : L"false", gone ? L"true" : L"false",
      complete ? L"true" : L"false");
  return 0;
}

int Usage() {
  std::fwprintf(
      stderr,
      L"usage: window_probe wait [ms] | show | close | endsession | resume | port-arrival | state | log | "
      L"text ID | "
      L"control ID | choose INDEX | click "
      L"ID | rect ID | dismiss CAPTION [ms] | bounds | dialog CAPTION [ms] | freeze-window MS | "
      L"foreign-messages  (after --desktop NAME)\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Sizes in physical pixels, whatever the display's scaling.
  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  if (argc > 2 && std::wstring(argv[1]) == L"--desktop") {
    if (!UseDesktop(argv[2])) {
      std::fwprintf(stderr, L"window_probe: no desktop %ls\n", argv[2]);
      return 1;
    }
    argc -= 2;
    argv += 2;
  }
  if (argc < 2) return Usage();
  ::_setmode(::_fileno(stdout), _O_U8TEXT);
  const std::wstring command = argv[1];
  if (command == L"wait")
    return Wait(argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 10000);
  if (command == L"dismiss" && argc > 2) {
    return Dismiss(argv[2], argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 10000);
  }
  if (command == L"dialog" && argc > 2) {
    return PrintDialogBounds(argv[2],
                             argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 10000);
  }
  HWND window = FindToviraWindow();
  if (command == L"state") {
    // The restored size: the window lives hidden (and starts minimized).
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (window != nullptr) ::GetWindowPlacement(window, &placement);
    const RECT box = placement.rcNormalPosition;
    const bool captionButtons = window && (::GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU) != 0;
    std::wprintf(
        L"{\"exists\":%ls,\"visible\":%ls,\"width\":%ld,\"height\":%ld,\"taskbar\":%ls,\"dpi\":%u,"
        L"\"window\":%llu,\"captionButtons\":%ls,\"titled\":%d}\n",
        window ? L"true" : L"false", window && ::IsWindowVisible(window) ? L"true" : L"false",
        box.right - box.left, box.bottom - box.top, HasTaskBarButton(window) ? L"true" : L"false",
        window ? ::GetDpiForWindow(window) : 0U,
        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)),
        captionButtons ? L"true" : L"false", CountTitledWindows());
    return 0;
  }
  if (window == nullptr) {
    std::fwprintf(stderr, L"window_probe: Tovira is not running\n");
    return 1;
  }
  if (command == L"log") return PrintControlText(window, tovira::kIdLogPanel);
  if (command == L"resources") return PrintResources(window);
  if (command == L"tray") return PrintTrayIcon(window);
  if (command == L"explorer-restart") return RestartExplorer(window);
  if (command == L"freeze-window" && argc > 2)
    return FreezeWindowThread(window, static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  if (command == L"foreign-messages") return SendForeignMessages(window);
  if (command == L"bounds") {
    PrintBounds(window);
    return 0;
  }
  if (command == L"workarea") return PrintWorkArea(window);
  if (command == L"text" && argc > 2) return PrintControlText(window, _wtoi(argv[2]));
  if (command == L"control" && argc > 2) return PrintControlState(window, _wtoi(argv[2]));
  if (command == L"choose" && argc > 2) return ChooseDevice(window, _wtoi(argv[2]));
  if (command == L"command" && argc > 2) {  // a menu item by its id
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(_wtoi(argv[2]), 0), 0);
    return 0;
  }
  if (command == L"rect" && argc > 2) {
    RECT box{};
    if (!::GetWindowRect(::GetDlgItem(window, _wtoi(argv[2])), &box)) return 1;
    std::wprintf(L"%ldx%ld", box.right - box.left, box.bottom - box.top);
    return 0;
  }
  if (command == L"click" && argc > 2) {
    const int id = _wtoi(argv[2]);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
    return 0;
  }
  if (command == L"show") {
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
    return 0;
  }
  if (command == L"endsession") {
    if (::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == FALSE) return 1;
    ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    return 0;
  }
  if (command == L"close") {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"resume" || command == L"port-arrival") {
    const bool resume = command == L"resume";
    DWORD_PTR answer = 0;
    const LRESULT sent = ::SendMessageTimeoutW(window, resume ? WM_POWERBROADCAST : WM_DEVICECHANGE,
                                               resume ? PBT_APMRESUMEAUTOMATIC : DBT_DEVICEARRIVAL, 0,
                                               SMTO_ABORTIFHUNG, 5000, &answer);
    return sent != 0 && answer == TRUE ? 0 : 1;
  }
  return Usage();
}
