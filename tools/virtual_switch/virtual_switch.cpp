#include "tools/virtual_switch/virtual_switch.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace tovira::tools {
namespace {

std::runtime_error SystemFailure(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) throw SystemFailure("tcgetattr");
  cfmakeraw(&settings);
  cfsetispeed(&settings, B9600);
  cfsetospeed(&settings, B9600);
  if (tcsetattr(fd, TCSANOW, &settings) != 0) throw SystemFailure("tcsetattr");
}

}  // namespace

std::string ModemLinesFile(const std::string& winePrefix, const std::string& slavePath) {
  const std::size_t slash = slavePath.find_last_of('/');
  return winePrefix + "/tovira-modem-lines/pts" + slavePath.substr(slash + 1);
}

int ModemLineBits(const ModemLineState& lines) {
  return (lines.dsr ? TIOCM_DSR : 0) | (lines.cts ? TIOCM_CTS : 0) | (lines.cd ? TIOCM_CAR : 0);
}

VirtualSwitch::VirtualSwitch(std::string winePrefix, int comNumber, TargetMode mode)
    : prefix_(std::move(winePrefix)), comNumber_(comNumber), mode_(mode) {
  OpenPort();
}

void VirtualSwitch::Return() {
  if (!vanished()) return;
  ::unlink(ModemLinesFile(prefix_, slavePath_).c_str());
  OpenPort();
}

void VirtualSwitch::OpenPort() {
  char name[256] = {};
  if (openpty(&masterFd_, &slaveFd_, name, nullptr, nullptr) != 0) throw SystemFailure("openpty");
  slavePath_ = name;
  // Programs the owner starts (Wine among them) must not keep the far end open.
  ::fcntl(masterFd_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slaveFd_, F_SETFD, FD_CLOEXEC);
  MakeRaw(slaveFd_);
  MakeRaw(masterFd_);
  WriteLinesFile();
  const std::string dosdevices = prefix_ + "/dosdevices";
  ::mkdir(dosdevices.c_str(), 0755);
  linkPath_ = dosdevices + "/com" + std::to_string(comNumber_);
  ::unlink(linkPath_.c_str());
  if (::symlink(slavePath_.c_str(), linkPath_.c_str()) != 0) throw SystemFailure("symlink " + linkPath_);
}

VirtualSwitch::~VirtualSwitch() {
  Vanish();
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  ::unlink(ModemLinesFile(prefix_, slavePath_).c_str());
}

bool VirtualSwitch::Write(const std::vector<std::uint8_t>& bytes) {
  if (masterFd_ < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(masterFd_, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

void VirtualSwitch::SetLines(const ModemLineState& lines) {
  lines_ = lines;
  WriteLinesFile();
}

void VirtualSwitch::Vanish() {
  const bool wasThere = masterFd_ >= 0;
  if (masterFd_ >= 0) ::close(masterFd_);
  if (slaveFd_ >= 0) ::close(slaveFd_);
  masterFd_ = slaveFd_ = -1;
  // The name stays and leads nowhere, as the closed pty's did: the system hands
  // its number out again, and under the old name another program's pty would open.
  if (wasThere && !linkPath_.empty()) {
    ::unlink(linkPath_.c_str());
    (void)::symlink((slavePath_ + "-vanished").c_str(), linkPath_.c_str());
  }
}

void VirtualSwitch::WriteLinesFile() {
  const std::string dir = prefix_ + "/tovira-modem-lines";
  ::mkdir(dir.c_str(), 0755);
  // Written whole to a temporary name, then renamed: the shim never reads half a file.
  const std::string file = ModemLinesFile(prefix_, slavePath_);
  const std::string temporary = file + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << ModemLineBits(lines_) << "\n";
  }
  ::rename(temporary.c_str(), file.c_str());
}

}  // namespace tovira::tools
