#pragma once
// The Wine side of a native end-to-end test: the win64 build's programs, the test
// prefix, the modem-line shim, Tovira's settings file inside the prefix.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e_host/child_process.h"
#include "tests/e2e_host/json_field.h"

namespace tovira::e2e {

class WineSession {
 public:
  static const WineSession& Get();

  const std::string& prefix() const { return prefix_; }
  std::string ToviraExe(int mode) const;
  std::string Win64Tool(const std::string& relativePath) const;

  // Starts a Windows program of the build under Wine, the modem-line shim loaded.
  ChildProcess StartWindowsProgram(const std::vector<std::string>& argv) const;
  // Runs the window probe to its end: its output, or nothing when it failed.
  std::optional<std::string> Probe(const std::vector<std::string>& args,
                                   Millis timeout = Millis(20000)) const;

  // Tovira's settings file of the prefix's user, as a host path.
  std::string SettingsFile() const;
  void RemoveSettings() const;
  // Writes [Settings] with these keys, in order, as UTF-16LE with a byte-order mark.
  void WriteSettings(const std::vector<std::pair<std::string, std::string>>& keys) const;
  // The settings file as UTF-8 text (whatever its encoding), or nothing when absent.
  std::optional<std::string> ReadSettings() const;

 private:
  WineSession();
  std::map<std::string, std::string> WineEnvironment() const;

  std::string win64Dir_;
  std::string hostToolsDir_;
  std::string prefix_;
  std::string logFile_;
};

// A file's bytes as they are (empty when it cannot be read).
std::string FileBytes(const std::filesystem::path& path);

}  // namespace tovira::e2e
