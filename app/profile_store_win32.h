#pragma once

#include <string>

#include "app/settings.h"

namespace tovira {

// The settings file through the Windows profile functions. The path has no fixed
// length limit.
class Win32ProfileStore final : public ProfileStore {
 public:
  explicit Win32ProfileStore(std::wstring path);

  std::wstring ReadText(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                        std::size_t bufferUnits) override;
  int ReadNumber(std::wstring_view section, std::wstring_view key, int fallback) override;
  void WriteText(std::wstring_view section, std::wstring_view key, std::wstring_view value) override;

  const std::wstring& path() const { return path_; }
  const std::wstring& functionPath() const { return functionPath_; }

 private:
  std::wstring path_;
  std::wstring functionPath_;  // what the profile functions are given
};

// The roaming application-data folder's "\brelkin\Tovira", created with its
// parents when missing (a failure leaves the defaults; the exit's writes then fail
// silently).
std::wstring PrepareSettingsFolder();
// The same in the local application-data folder: where the support log goes.
std::wstring PrepareSupportLogFolder();

}  // namespace tovira
