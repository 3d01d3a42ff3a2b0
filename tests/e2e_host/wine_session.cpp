#include "tests/e2e_host/wine_session.h"

#include <glob.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/utf8.h"

namespace tovira::e2e {
namespace {

// After the byte-order mark: each little-endian unit as one wchar_t, pairs joined by Utf8.
std::string Utf16LeToUtf8(const std::string& bytes) {
  std::wstring text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return Utf8(text);
}

std::string Utf8ToUtf16Le(const std::string& text) {
  std::string out = "\xFF\xFE";
  auto put = [&](unsigned unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    unsigned code = lead;
    std::size_t length = 1;
    if (lead >= 0xF0) {
      code = lead & 0x07;
      length = 4;
    } else if (lead >= 0xE0) {
      code = lead & 0x0F;
      length = 3;
    } else if (lead >= 0xC0) {
      code = lead & 0x1F;
      length = 2;
    }
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) code = (code << 6) | (text[i + k] & 0x3F);
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      put(0xD800 + (code >> 10));
      put(0xDC00 + (code & 0x3FF));
    } else {
      put(code);
    }
  }
  return out;
}

}  // namespace

const WineSession& WineSession::Get() {
  static const WineSession session;
  return session;
}

WineSession::WineSession()
    : win64Dir_(TOVIRA_WIN64_DIR),
      hostToolsDir_(TOVIRA_HOST_TOOLS_DIR),
      prefix_(std::string(TOVIRA_WIN64_DIR) + "/wineprefix"),
      logFile_(std::string(TOVIRA_HOST_BUILD_DIR) + "/e2e-wine.log") {}

std::string WineSession::ToviraExe(int mode) const {
  return win64Dir_ + "/mode" + std::to_string(mode) + "/Tovira.exe";
}

std::string WineSession::Win64Tool(const std::string& relativePath) const {
  return win64Dir_ + "/" + relativePath;
}

std::map<std::string, std::string> WineSession::WineEnvironment() const {
  const char* display = std::getenv("DISPLAY");
  return {
      {"WINEPREFIX", prefix_},
      {"WINEARCH", "win64"},
      {"WINEDEBUG", "-all"},
      {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
      {"DISPLAY", display != nullptr && *display != '\0' ? display : ":97"},
      {"LD_PRELOAD", hostToolsDir_ + "/libtovira_modem_lines.so"},
      {"LANG", "C.UTF-8"},
  };
}

ChildProcess WineSession::StartWindowsProgram(const std::vector<std::string>& argv) const {
  std::vector<std::string> command = {"wine"};
  command.insert(command.end(), argv.begin(), argv.end());
  return ChildProcess::Start(command, WineEnvironment(), logFile_);
}

std::optional<std::string> WineSession::Probe(const std::vector<std::string>& args, Millis timeout) const {
  std::vector<std::string> command = {Win64Tool("tools/window_probe.exe")};
  command.insert(command.end(), args.begin(), args.end());
  ChildProcess probe = StartWindowsProgram(command);
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (auto line = probe.ReadLine(
             std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now()))) {
    if (!output.empty()) output += "\n";
    output += *line;
  }
  const auto status = probe.Wait(Millis(2000));
  if (!status || *status != 0) return std::nullopt;
  return output;
}

std::string WineSession::SettingsFile() const {
  glob_t found{};
  const std::string pattern = prefix_ + "/drive_c/users/*/AppData/Roaming";
  std::string roaming;
  if (glob(pattern.c_str(), 0, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc; ++i) {
      const std::string path = found.gl_pathv[i];
      if (path.find("/users/Public/") == std::string::npos) roaming = path;
    }
  }
  globfree(&found);
  return roaming + "/brelkin/Tovira/Settings.ini";
}

void WineSession::RemoveSettings() const {
  std::filesystem::remove(SettingsFile());
}

void WineSession::WriteSettings(const std::vector<std::pair<std::string, std::string>>& keys) const {
  std::string text = "[Settings]\r\n";
  for (const auto& [key, value] : keys) text.append(key).append("=").append(value).append("\r\n");
  const std::filesystem::path file = SettingsFile();
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << Utf8ToUtf16Le(text);
}

std::optional<std::string> WineSession::ReadSettings() const {
  if (!std::filesystem::exists(SettingsFile())) return std::nullopt;
  const std::string raw = FileBytes(SettingsFile());
  if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') return Utf16LeToUtf8(raw);
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) return raw.substr(3);
  return raw;
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tovira::e2e
