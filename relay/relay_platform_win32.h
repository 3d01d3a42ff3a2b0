#pragma once

#include <windows.h>

#include "base/scoped_handle_win32.h"
#include "relay/relay_platform.h"

namespace tovira {

class Win32RelayPlatform final : public RelayPlatform {
 public:
  volatile std::uint8_t* OpenBlock(const std::string& name, BlockOpenFailure& failure) override;
  void CloseBlock() override;
  void ShowErrorBox(const std::wstring& text, const std::wstring& caption) override;
  std::optional<NavigatorWindow> FindNavigator() override;
  void PostToNavigator(NavigatorWindow window, unsigned message, int wParam) override;
  std::optional<std::vector<std::wstring>> RunningImagePathsUpper() override;

 private:
  UniqueHandle mapping_;
  UniqueMappedView view_;
};

}  // namespace tovira
