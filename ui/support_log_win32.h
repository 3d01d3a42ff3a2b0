#pragma once
// The support log's files on Windows.

#include "ui/support_log.h"

namespace tovira {

class Win32SupportLogFiles final : public SupportLogFiles {
 public:
  std::optional<std::uint64_t> Size(const std::wstring& path) override;
  // Opened for each batch (others may read, rename or delete it in between).
  bool Append(const std::wstring& path, const std::string& bytes) override;
  bool Replace(const std::wstring& from, const std::wstring& to) override;
  std::optional<std::string> Tail(const std::wstring& path, std::uint64_t count) override;
  bool Rewrite(const std::wstring& path, const std::string& bytes) override;
};

}  // namespace tovira
