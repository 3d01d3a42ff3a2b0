// The status window as assistive technology and a colour-blind eye meet it:
// each picture and lamp says its state in words (its accessible name, read through
// the accessibility layer, and its tooltip), a change is announced, and with high
// contrast the lamps are drawn in the system's colours.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <map>
#include <string>

#include "tests/ui/status_window_test_support.h"
#include "ui/control_ids.h"

namespace tovira {
namespace {

// The name a screen reader reads: the control's client object, as the
// accessibility layer hands it over.
std::wstring AccessibleName(HWND control) {
  IAccessible* object = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object)))) {
    return L"(no object)";
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::wstring text = L"(no name)";
  if (SUCCEEDED(object->get_accName(self, &name)) && name != nullptr) text = name;
  ::SysFreeString(name);
  object->Release();
  return text;
}

HWND TooltipOf(HWND window) {
  struct Search {
    HWND owner;
    HWND found;
  } search{window, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND candidate, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        ::GetClassNameW(candidate, name, 64);
        if (std::wstring(name) != TOOLTIPS_CLASSW || ::GetWindow(candidate, GW_OWNER) != s->owner)
          return TRUE;
        s->found = candidate;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring TipOf(HWND tips, HWND window, HWND control) {
  wchar_t text[256] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  ::SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  return text;
}

std::map<HWND, int> gAnnounced;  // how often each control was announced

void CALLBACK OnNameChange(HWINEVENTHOOK, DWORD event, HWND control, LONG object, LONG child, DWORD, DWORD) {
  if (event == EVENT_OBJECT_NAMECHANGE && object == OBJID_CLIENT && child == CHILDID_SELF) {
    ++gAnnounced[control];
  }
}

class StatusWindowAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = window_test::StartLoadedWindow(handler_, true);  // the log panel shown
    ASSERT_TRUE(window_);
    hwnd_ = window_->hwnd();
  }
  void TearDown() override { EXPECT_TRUE(window_test::CloseWindow(hwnd_)); }
  window_test::RecordingHandler handler_;
  std::unique_ptr<StatusWindow> window_;
  HWND hwnd_ = nullptr;
};

TEST_F(StatusWindowAccess, PicturesAndLampsSayTheirStateInWordsAndAnnounceEachChange) {
  HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                                         &OnNameChange, ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  HWND tips = TooltipOf(hwnd_);
  ASSERT_NE(tips, nullptr);
  StatusWindow& window = *window_;
  LineLamps lines;
  lines.open = true;
  lines.dsr = true;

  const wchar_t* kUp = L"離されています";
  const wchar_t* kDown = L"押されています";
  struct Step {
    const char* what;
    std::function<void()> act;
    std::map<int, std::wstring> says;  // the controls whose words change, and their words
  };
  const Step steps[] = {
      {"connected, buttons 1 and 3 down",
       [&] {
         window.ShowConnected(true);
         window.ShowSwitchState(SwitchState::FromByte(0x05));
       },
       {{kIdConnectedLamp, L"接続されています"},
        {kIdBattery, L"電池は十分です"},
        {kIdButton1, std::wstring(L"ボタン1 ") + kDown},
        {kIdButton1 + 2, std::wstring(L"ボタン3 ") + kDown}}},
      {"button 2 alone, the battery low",
       [&] { window.ShowSwitchState(SwitchState::FromByte(0x82)); },
       {{kIdBattery, L"電池残量が少なくなっています"},
        {kIdButton1, std::wstring(L"ボタン1 ") + kUp},
        {kIdButton1 + 1, std::wstring(L"ボタン2 ") + kDown},
        {kIdButton1 + 2, std::wstring(L"ボタン3 ") + kUp}}},
      {"the lines",
       [&] { window.ShowLineStates(lines); },
       {{kIdFirstLineLamp, L"OPEN オン"},
        {kIdFirstLineLamp + 1, L"CD オフ"},
        {kIdFirstLineLamp + 2, L"DSR オン"},
        {kIdFirstLineLamp + 3, L"DTR オフ"},
        {kIdFirstLineLamp + 4, L"RTS オフ"},
        {kIdFirstLineLamp + 5, L"CTS オフ"}}},
      {"the lines again: nothing changes", [&] { window.ShowLineStates(lines); }, {}},
      {"the link lost: nothing known of the battery",
       [&] { window.ShowConnected(false); },
       {{kIdConnectedLamp, L"接続されていません"},
        {kIdBattery, L"接続されていません"},
        {kIdButton1 + 1, std::wstring(L"ボタン2 ") + kUp}}},
      // The request shown beside the list is heard on the list, which has the focus.
      {"asked to choose a switch",
       [&] { window.AskForDeviceChoice(); },
       {{kIdDeviceList, L"スイッチの選択 一覧からスイッチを選んでください。"}}},
      {"the choice over", [&] { window.EndDeviceChoice(); }, {{kIdDeviceList, L"スイッチの選択"}}},
  };
  ASSERT_NE(::GetWindowLongW(::GetDlgItem(hwnd_, kIdLogPanel), GWL_STYLE) & WS_VISIBLE, 0) << "the log shown";
  // The picture of a switch says nothing: its name is empty, not missing.
  std::map<int, std::wstring> expected = {
      {kIdDeviceList, L"スイッチの選択"}, {kIdLogPanel, L"ログ"}, {kIdDecoration, L""}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    gAnnounced.clear();
    step.act();
    for (const auto& [id, words] : step.says) expected[id] = words;
    // The hook's events arrive in order: once the window's own change of name has
    // come, so has every announcement the step made.
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
    ASSERT_TRUE(window_test::PumpUntil([&] { return gAnnounced.count(hwnd_) != 0; }, 2000));
    gAnnounced.erase(hwnd_);
    for (const auto& [id, words] : step.says) {
      EXPECT_EQ(gAnnounced.count(::GetDlgItem(hwnd_, id)), 1U) << "a change not announced: " << id;
    }
    // Announced once each: a state the pictures only pass through is not said.
    for (const auto& [control, times] : gAnnounced) {
      EXPECT_EQ(step.says.count(::GetDlgCtrlID(control)), 1U)
          << "announced without a change: " << ::GetDlgCtrlID(control);
      EXPECT_EQ(times, 1) << "control " << ::GetDlgCtrlID(control);
    }
    for (const auto& [id, words] : expected) {
      HWND control = ::GetDlgItem(hwnd_, id);
      EXPECT_EQ(AccessibleName(control), words) << "control " << id;
      if (id != kIdDeviceList && id != kIdLogPanel && id != kIdDecoration) {
        EXPECT_EQ(TipOf(tips, hwnd_, control), words) << "control " << id;
      }
    }
  }
  ::UnhookWinEvent(hook);
}

TEST_F(StatusWindowAccess, HighContrastDrawsTheLampsInTheSystemsColours) {
  LineLamps lines;
  lines.open = true;  // OPEN lit, CD dark
  window_->ShowLineStates(lines);
  HDC dc = ::CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  const auto colourOf = [&](int id) {
    const auto brush = static_cast<HBRUSH>(
        reinterpret_cast<HANDLE>(::SendMessageW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                reinterpret_cast<LPARAM>(::GetDlgItem(hwnd_, id)))));
    LOGBRUSH description{};
    ::GetObjectW(brush, sizeof(description), &description);
    EXPECT_EQ(description.lbColor, ::GetBkColor(dc)) << "the brush and the text's background agree";
    return std::make_pair(::GetBkColor(dc), ::GetTextColor(dc));
  };
  struct Case {
    bool highContrast;
    COLORREF on, onText, off, offText, frame, title;
  };
  const Case cases[] = {
      {true, ::GetSysColor(COLOR_HIGHLIGHT), ::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_WINDOW),
       ::GetSysColor(COLOR_WINDOWTEXT), ::GetSysColor(COLOR_WINDOW), ::GetSysColor(COLOR_WINDOWTEXT)},
      {false, RGB(127, 255, 0), ::GetSysColor(COLOR_WINDOWTEXT), RGB(245, 245, 245),
       ::GetSysColor(COLOR_WINDOWTEXT), RGB(255, 255, 255), RGB(70, 130, 180)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.highContrast);
    window_->UseHighContrast(c.highContrast);
    EXPECT_EQ(colourOf(kIdFirstLineLamp), std::make_pair(c.on, c.onText));
    EXPECT_EQ(colourOf(kIdFirstLineLamp + 1), std::make_pair(c.off, c.offText));
    EXPECT_EQ(colourOf(kIdTitle), std::make_pair(c.frame, c.title));
  }
  // The window follows the system's own setting when it changes (off under Wine).
  window_->UseHighContrast(true);
  ::SendMessageW(hwnd_, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  HIGHCONTRASTW system{};
  system.cbSize = sizeof(system);
  ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(system), &system, 0);
  EXPECT_EQ(colourOf(kIdFirstLineLamp).first,
            (system.dwFlags & HCF_HIGHCONTRASTON) != 0 ? ::GetSysColor(COLOR_HIGHLIGHT) : RGB(127, 255, 0));
  ::DeleteDC(dc);
}

}  // namespace
}  // namespace tovira
