// virtual_switch: plays the wireless switch on a COM port of a Wine prefix.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "tools/virtual_switch/switch_script.h"
#include "tools/virtual_switch/virtual_switch.h"

namespace {

constexpr char kUsage[] =
    "usage: virtual_switch --prefix WINEPREFIX [--com N] [--mode 1|2|3] [--seed S] [--script FILE]\n"
    "Links WINEPREFIX/dosdevices/comN (default com5) to a pseudo-terminal and plays the\n"
    "switch of target mode N (default 2) on it. Commands come from FILE, or from standard\n"
    "input, one per line (type 'help' for the list). DSR, CTS and CD start on; Wine reads\n"
    "them through the modem-line shim (LD_PRELOAD=libtovira_modem_lines.so on wine).\n";

constexpr char kCommands[] =
    "press B [B ...] | release | state 0xNN | battery low|ok | raw HH [HH ...] | garbage N | half |\n"
    "burst N | dsr|cts|cd on|off | rotation N|varied | tag N|varied | vanish | return | sleep MS | quit\n";

}  // namespace

int main(int argc, char** argv) {
  std::string prefix;
  std::string scriptFile;
  int com = 5;
  int mode = 2;
  unsigned seed = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--prefix" && hasValue) {
      prefix = argv[++i];
    } else if (arg == "--com" && hasValue) {
      com = std::atoi(argv[++i]);
    } else if (arg == "--mode" && hasValue) {
      mode = std::atoi(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 0));
    } else if (arg == "--script" && hasValue) {
      scriptFile = argv[++i];
    } else {
      std::fputs(kUsage, arg == "--help" ? stdout : stderr);
      return arg == "--help" ? 0 : 2;
    }
  }
  const auto targetMode = tovira::TargetModeFromNumber(mode);
  if (prefix.empty() || com < 1 || com > 256 || !targetMode) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    tovira::tools::VirtualSwitch device(prefix, com, *targetMode);
    std::cout << "{\"t\":" << std::fixed << tovira::tools::RealtimeSeconds()
              << ",\"action\":\"ready\",\"port\":\"" << device.portName() << "\",\"pty\":\""
              << device.slavePath() << "\"}" << std::endl;
    tovira::tools::SwitchScript script(device, std::cout, seed);
    std::ifstream file;
    if (!scriptFile.empty()) {
      file.open(scriptFile);
      if (!file) {
        std::cerr << "virtual_switch: cannot read " << scriptFile << "\n";
        return 2;
      }
    }
    std::istream& in = scriptFile.empty() ? std::cin : file;
    for (std::string line; !script.quit() && std::getline(in, line);) {
      if (line == "help") {
        std::cerr << kCommands;
        continue;
      }
      std::string error;
      if (!script.Execute(line, error)) std::cerr << "virtual_switch: " << error << "\n";
    }
  } catch (const std::exception& failure) {
    std::cerr << "virtual_switch: " << failure.what() << "\n";
    return 1;
  }
  return 0;
}
