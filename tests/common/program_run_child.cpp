// Kept apart from program_run.cpp: only test executables that link the program's own code
// (and so have Main) pull this in.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/program_run.h"
#include "run/main_entry.h"

namespace testing_run {
namespace {

std::string TempFileName(const char* prefix) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  int fd = mkstemp(pattern.data());
  if (fd < 0) return "";
  close(fd);
  return pattern;
}

void RedirectTo(int target, const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) return;
  dup2(fd, target);
  close(fd);
}

[[noreturn]] void RunChild(const std::string& workingDir, const std::vector<std::string>& args,
                           const std::function<void()>& beforeMain, const std::string& outPath,
                           const std::string& errPath) {
  RedirectTo(1, outPath);
  RedirectTo(2, errPath);
  if (chdir(workingDir.c_str()) != 0) _exit(126);
  if (beforeMain) beforeMain();
  std::vector<std::string> argvText{ProgramPath()};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int status = Main(static_cast<int>(argvText.size()), argv.data());
  fflush(stdout);
  fflush(stderr);
  _exit(status);
}

std::string TakeFile(const std::string& path) {
  std::string text = ReadFile(path);
  std::remove(path.c_str());
  return text;
}

}  // namespace

ProgramResult RunMainInChild(const std::string& workingDir, const std::vector<std::string>& args,
                             const std::function<void()>& beforeMain) {
  std::string outPath = TempFileName("kestrumel-out-");
  std::string errPath = TempFileName("kestrumel-err-");
  // Nothing buffered in the parent may be written twice.
  fflush(stdout);
  fflush(stderr);
  ProgramResult result;
  pid_t pid = fork();
  if (pid == 0) RunChild(workingDir, args, beforeMain, outPath, errPath);
  if (pid > 0) {
    int waitStatus = 0;
    int waited = -1;
    do {
      waited = waitpid(pid, &waitStatus, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid && WIFEXITED(waitStatus)) result.exitStatus = WEXITSTATUS(waitStatus);
  }
  result.out = TakeFile(outPath);
  result.err = TakeFile(errPath);
  return result;
}

}  // namespace testing_run
