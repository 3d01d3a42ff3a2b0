// The tray icon's side of the shell, with a stand-in for Shell_NotifyIconW: Wine
// shows tooltips whatever the flags say and its shell is always ready, so neither
// the tooltip flag nor the retry can be seen there.

#include "ui/tray_icon_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace tovira {
namespace {

struct ShellCall {
  DWORD message;
  UINT flags;
  UINT version;
  DWORD infoFlags;
};

class StandInShell {
 public:
  explicit StandInShell(int failures) : failures_(failures) {}
  TrayIcon::Notify Notify() {
    return [this](DWORD message, NOTIFYICONDATAW* data) {
      BOOL answer = TRUE;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({message, data->uFlags, data->uVersion, data->dwInfoFlags});
        if ((message == NIM_ADD || message == NIM_MODIFY) && failures_ > 0) {
          --failures_;
          answer = FALSE;
        }
      }
      called_.notify_all();
      return answer;
    };
  }
  std::vector<ShellCall> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // Waits (at most ten seconds) until the shell has been told `count` things.
  bool WaitForCalls(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return called_.wait_for(lock, std::chrono::seconds(10), [&] { return calls_.size() >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable called_;
  std::vector<ShellCall> calls_;
  int failures_;
};

const HWND kOwner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));

TEST(TrayIcon, AFailedAddIsTriedAgainWithTheStandardTooltipAndTheIconIsAlwaysDeletedAtExit) {
  StandInShell shell(4);  // two rounds of add and modify fail, as a shell not yet ready at logon
  {
    TrayIcon tray(shell.Notify(), std::chrono::milliseconds(20));
    tray.Add(kOwner, nullptr, L"tip");
    ASSERT_TRUE(shell.WaitForCalls(6)) << "the add is tried again";
    tray.SetTip(L"second line");
    ASSERT_TRUE(shell.WaitForCalls(7));
  }
  const std::vector<ShellCall> calls = shell.Calls();
  ASSERT_EQ(calls.size(), 8U);
  for (std::size_t i : {0U, 2U, 4U}) EXPECT_EQ(calls[i].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(calls[4].flags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP));
  EXPECT_EQ(calls[5].message, static_cast<DWORD>(NIM_SETVERSION));
  EXPECT_EQ(calls[5].version, static_cast<UINT>(NOTIFYICON_VERSION_4));
  EXPECT_EQ(calls[6].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(calls[6].flags, static_cast<UINT>(NIF_TIP | NIF_SHOWTIP)) << "the tooltip shown under version 4";
  EXPECT_EQ(calls[7].message, static_cast<DWORD>(NIM_DELETE));

  StandInShell refusing(1000);
  {
    TrayIcon tray(refusing.Notify(), std::chrono::milliseconds(20));
    tray.Add(kOwner, nullptr, L"tip");
    ASSERT_TRUE(refusing.WaitForCalls(2));
  }
  EXPECT_EQ(refusing.Calls().back().message, static_cast<DWORD>(NIM_DELETE)) << "deleted though never added";
}

TEST(TrayIcon, AWarningBalloonCarriesTheWarningIconAndOthersTheInformationIcon) {
  StandInShell shell(0);
  TrayIcon tray(shell.Notify(), std::chrono::milliseconds(20));
  tray.Add(kOwner, nullptr, L"tip");
  ASSERT_TRUE(shell.WaitForCalls(2));  // the add and its version
  tray.ShowBalloon(L"lost", BalloonKind::kWarning);
  tray.ShowBalloon(L"connected");
  ASSERT_TRUE(shell.WaitForCalls(4));
  const std::vector<ShellCall> calls = shell.Calls();
  EXPECT_EQ(calls[2].flags, static_cast<UINT>(NIF_INFO));
  EXPECT_EQ(calls[2].infoFlags, static_cast<DWORD>(NIIF_WARNING));
  EXPECT_EQ(calls[3].infoFlags, static_cast<DWORD>(NIIF_INFO));
}

}  // namespace
}  // namespace tovira
