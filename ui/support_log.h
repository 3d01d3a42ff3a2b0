#pragma once
// The support log: the log panel's lines, each with its date, in a file a carer
// can send. The file is kept under a size limit; when a write would pass it, the
// file becomes the older generation (its name + ".1", replacing the one before)
// and a new file begins. When that rename fails (another program holds the file),
// the file starts over with its own newest lines, and the log says so once.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/log_format.h"

namespace tovira {

inline constexpr std::uint64_t kSupportLogLimit = std::uint64_t{1024} * 1024;

// What the support log needs of a file system.
class SupportLogFiles {
 public:
  virtual ~SupportLogFiles() = default;
  // The file's size in bytes; nothing when it does not exist or cannot be asked.
  virtual std::optional<std::uint64_t> Size(const std::wstring& path) = 0;
  virtual bool Append(const std::wstring& path, const std::string& bytes) = 0;
  // Renames `from` to `to`, replacing `to`.
  virtual bool Replace(const std::wstring& from, const std::wstring& to) = 0;
  // The file's last `count` bytes (all of it when shorter); nothing when it cannot be read.
  virtual std::optional<std::string> Tail(const std::wstring& path, std::uint64_t count) = 0;
  // Makes `bytes` the file's whole content.
  virtual bool Rewrite(const std::wstring& path, const std::string& bytes) = 0;
};

class SupportLog {
 public:
  SupportLog(std::unique_ptr<SupportLogFiles> files, std::wstring path,
             std::uint64_t limit = kSupportLogLimit);

  // The panel's `lines` (each ending in CR LF), written in UTF-8 with `date`
  // ("2026-12-10") and a space before each; a lone CR or LF inside a line becomes
  // a space, so that each line of the file is one line of the panel. Of a batch
  // larger than the limit only its newest whole lines are kept. A failed write is
  // dropped: the log never holds the program up.
  // Returns the log's own line for the panel, stamped `now` (empty when it has
  // none): that the file could not be renamed, once until a rename succeeds again.
  std::wstring Write(std::wstring_view date, const LocalTimeOfDay& now, std::wstring_view lines);

  const std::wstring& path() const { return path_; }
  std::wstring olderPath() const { return path_ + L".1"; }

 private:
  void StartOver(const std::string& bytes);

  std::unique_ptr<SupportLogFiles> files_;
  std::wstring path_;
  std::uint64_t limit_;
  std::optional<std::uint64_t> size_;  // what was written so far; asked when unknown
  bool cannotRotateSaid_ = false;      // until a rename succeeds again
};

}  // namespace tovira
