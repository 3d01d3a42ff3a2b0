#include "tests/e2e_host/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace tovira::e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [key, value] : extra) merged[key] = value;
  std::vector<std::string> result;
  result.reserve(merged.size());
  for (const auto& [key, value] : merged) result.emplace_back(key).append("=").append(value);
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildProcess ChildProcess::Start(const std::vector<std::string>& argv,
                                 const std::map<std::string, std::string>& extraEnv,
                                 const std::string& stderrFile) {
  ChildProcess child;
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0) return child;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(input[0]);
    close(input[1]);
    return child;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  const std::string errorPath = stderrFile.empty() ? "/dev/null" : stderrFile;
  posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group: Wine's helpers started by it can be ended with it.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<std::string> args = argv;
  std::vector<std::string> env = MergedEnvironment(extraEnv);
  std::vector<char*> argPointers = Pointers(args);
  std::vector<char*> envPointers = Pointers(env);
  pid_t pid = -1;
  const int failed =
      posix_spawnp(&pid, argPointers[0], &actions, &attributes, argPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(input[0]);
  close(output[1]);
  if (failed != 0) {
    close(input[1]);
    close(output[0]);
    return child;
  }
  child.pid_ = pid;
  child.stdinFd_ = input[1];
  child.stdoutFd_ = output[0];
  return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
  *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    CloseAll();
    pid_ = std::exchange(other.pid_, -1);
    stdinFd_ = std::exchange(other.stdinFd_, -1);
    stdoutFd_ = std::exchange(other.stdoutFd_, -1);
    pending_ = std::move(other.pending_);
    exitStatus_ = std::exchange(other.exitStatus_, std::nullopt);
  }
  return *this;
}

ChildProcess::~ChildProcess() {
  Kill();
  CloseAll();
}

void ChildProcess::CloseAll() {
  if (stdinFd_ >= 0) close(stdinFd_);
  if (stdoutFd_ >= 0) close(stdoutFd_);
  stdinFd_ = stdoutFd_ = -1;
}

std::optional<std::string> ChildProcess::ReadLine(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (stdoutFd_ < 0) {
      if (pending_.empty()) return std::nullopt;
      return std::exchange(pending_, std::string());  // a last line without its line break
    }
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd watch{stdoutFd_, POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t got = read(stdoutFd_, buffer, sizeof buffer);
    if (got <= 0) {
      close(stdoutFd_);
      stdoutFd_ = -1;
      continue;
    }
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool ChildProcess::WriteLine(const std::string& line) {
  if (stdinFd_ < 0) return false;
  const std::string text = line + "\n";
  return write(stdinFd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::CloseInput() {
  if (stdinFd_ >= 0) close(stdinFd_);
  stdinFd_ = -1;
}

std::optional<int> ChildProcess::Wait(Millis timeout) {
  if (exitStatus_) return exitStatus_;
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitStatus_;
    }
    if (done < 0 || Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(Millis(10));
  }
}

void ChildProcess::Kill() {
  if (pid_ <= 0 || exitStatus_) return;
  kill(pid_, SIGKILL);
  Wait(Millis(5000));
}

}  // namespace tovira::e2e
