// expected_messages: prints the navigator messages (mode 2) that switch frames
// call for, one per line ("press 2", "release 2"), for scripts that check a
// session's messages.
//   expected_messages --burst N   those of the virtual switch's `burst N`
//   expected_messages             frames from standard input, one per line: a state
//                                 value (0xNN or decimal), or "lost" for a lost link

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tools/virtual_switch/expected_messages.h"

namespace {

constexpr char kUsage[] = "usage: expected_messages [--burst N]  (frames on standard input: 0xNN | lost)\n";

void Print(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) std::cout << message << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--burst") {
    char* end = nullptr;
    const long frames = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || frames < 1) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    Print(tovira::tools::ExpectedBurstMessages(static_cast<int>(frames)));
    return 0;
  }
  if (argc != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  tovira::tools::ExpectedNavigatorMessages expected;
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    if (line == "lost") {
      expected.LinkLost();
      continue;
    }
    char* end = nullptr;
    const long state = std::strtol(line.c_str(), &end, 0);
    if (*end != '\0' || state < 0 || state > 255) {
      std::fprintf(stderr, "expected_messages: not a frame: %s\n", line.c_str());
      return 2;
    }
    expected.Frame(static_cast<int>(state));
  }
  Print(expected.messages());
  return 0;
}
