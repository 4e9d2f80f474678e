#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

extern char** environ;

namespace platform {
namespace {

std::string OwnExecutable() {
  char path[PATH_MAX] = {};
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

class PosixChild : public ChildProcess {
 public:
  PosixChild(pid_t pid, int input, int output) : pid_(pid), input_(input), output_(output) {}
  ~PosixChild() override { Finish(0); }

  bool ReadLine(std::string& line, int timeoutMs) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now()).count();
      if (output_ < 0 || left <= 0) return false;
      pollfd ready{output_, POLLIN, 0};
      int polled = poll(&ready, 1, static_cast<int>(left));
      if (polled < 0 && errno == EINTR) continue;
      if (polled <= 0) return false;
      char buffer[256];
      ssize_t got = read(output_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      pending_.append(buffer, static_cast<size_t>(got));
    }
  }

  int Finish(int timeoutMs) override {
    CloseFd(input_);
    CloseFd(output_);
    if (pid_ <= 0) return status_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int raw = 0;
    pid_t ended;
    while ((ended = waitpid(pid_, &raw, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended == 0) {
      kill(pid_, SIGKILL);
      while ((ended = waitpid(pid_, &raw, 0)) < 0 && errno == EINTR) {
      }
    }
    status_ = ended == pid_ && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    pid_ = -1;
    return status_;
  }

 private:
  static void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  pid_t pid_;
  int input_, output_;
  int status_ = -1;
  std::string pending_;
};

}  // namespace

// Both pipes are made close-on-exec, so that only the child's dup2'd ends cross over and no
// other child inherits them (an inherited input end would keep the child from seeing its end).
std::unique_ptr<ChildProcess> StartSelf(const std::vector<std::string>& arguments) {
  std::string program = OwnExecutable();
  int input[2], output[2];
  if (program.empty() || pipe2(input, O_CLOEXEC) != 0) return nullptr;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(input[0]);
    close(input[1]);
    return nullptr;
  }
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  close(output[1]);
  if (spawned != 0) {
    close(input[1]);
    close(output[0]);
    return nullptr;
  }
  return std::make_unique<PosixChild>(pid, input[1], output[0]);
}

}  // namespace platform
