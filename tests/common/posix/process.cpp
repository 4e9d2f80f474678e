#include "common/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace testing_process {
namespace {

int ExitStatusOf(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

std::vector<char*> ArgvOf(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

Process::~Process() = default;

bool Process::Start(const std::string& path, const std::vector<std::string>& args,
                    const std::string& workingDir, const Redirection& io) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, io.in.empty() ? "/dev/null" : io.in.c_str(),
                                   O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, io.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, io.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> argv = ArgvOf(args);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  id_ = rc == 0 ? pid : -1;
  return id_ > 0;
}

bool Process::Running() const { return id_ > 0; }

bool Process::Collect(std::chrono::milliseconds limit, int& exitStatus) {
  if (id_ <= 0) return true;
  const pid_t pid = static_cast<pid_t>(id_);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const int options = limit < std::chrono::milliseconds(0) ? 0 : WNOHANG;
  int waitStatus = 0;
  int waited = 0;
  while (true) {
    waited = waitpid(pid, &waitStatus, options);
    if (waited == pid || (waited < 0 && errno != EINTR)) break;
    if (waited == 0 && std::chrono::steady_clock::now() > deadline) return false;
    if (waited == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  id_ = -1;
  exitStatus = waited == pid ? ExitStatusOf(waitStatus) : -1;
  return true;
}

void Process::AskToStop() const {
  if (id_ > 0) kill(static_cast<pid_t>(id_), SIGTERM);
}

int StopSignalNumber() { return SIGTERM; }

bool StopMayHangHostLibraries() { return false; }

bool UnderWine() { return false; }

void Process::Kill() const {
  if (id_ > 0) kill(static_cast<pid_t>(id_), SIGKILL);
}

void SetVariable(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void RemoveVariable(const std::string& name) { unsetenv(name.c_str()); }

int64_t CurrentProcessId() { return getpid(); }

std::string ThisExecutable() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace testing_process
