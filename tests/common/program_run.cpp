#include "common/program_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/test_db.h"

extern char** environ;

namespace testing_run {
namespace {

namespace fs = std::filesystem;

std::string MakeTempDir(const char* prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}

// A temporary file name in the system temp folder; the file exists (empty) afterwards.
std::string MakeTempFile(const char* prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  int fd = mkstemp(pattern.data());
  if (fd < 0) return "";
  close(fd);
  return pattern;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

std::string TakeFile(const std::string& path) {
  std::string text = ReadFile(path);
  std::error_code ignored;
  fs::remove(path, ignored);
  return text;
}

int ExitStatusOf(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

std::vector<char*> ArgvOf(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Spawns `path` in `workingDir` with stdin, stdout and stderr redirected to files; -1 on failure.
int Spawn(const std::string& path, const std::vector<std::string>& args,
          const std::string& workingDir, const std::string& inPath, const std::string& outPath,
          const std::string& errPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, inPath.empty() ? "/dev/null" : inPath.c_str(),
                                   O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
  std::vector<char*> argv = ArgvOf(args);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

int WaitFor(int pid) {
  int waitStatus = 0;
  while (waitpid(pid, &waitStatus, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return ExitStatusOf(waitStatus);
}

// A small cursor over log text; every Expect* moves on only when it matches.
class LogScanner {
 public:
  explicit LogScanner(const std::string& text) : text_(text) {}
  bool AtEnd() const { return pos_ >= text_.size(); }
  size_t Position() const { return pos_; }

  bool Expect(const std::string& literal) {
    if (text_.compare(pos_, literal.size(), literal) != 0) return false;
    pos_ += literal.size();
    return true;
  }
  // The rest of the line up to CR LF (not included), which is consumed.
  bool Line(std::string& value) {
    size_t end = text_.find("\r\n", pos_);
    if (end == std::string::npos) return false;
    value = text_.substr(pos_, end - pos_);
    pos_ = end + 2;
    return value.find('\n') == std::string::npos && value.find('\r') == std::string::npos;
  }

 private:
  const std::string& text_;
  size_t pos_ = 0;
};

// "dd?dd?dd" with `separator` in place of '?'.
bool IsTwoDigitTriple(const std::string& value, char separator) {
  if (value.size() != 8 || value[2] != separator || value[5] != separator) return false;
  for (size_t i : {0, 1, 3, 4, 6, 7}) {
    if (!std::isdigit(static_cast<unsigned char>(value[i]))) return false;
  }
  return true;
}

bool ParseCode(const std::string& value, int32_t& code) {
  size_t start = value.size() > 0 && value[0] == '-' ? 1 : 0;
  if (value.size() == start || value.size() - start > 10) return false;
  if (value.size() - start > 1 && value[start] == '0') return false;
  for (size_t i = start; i < value.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(value[i]))) return false;
  }
  long long number = std::stoll(value);
  if (number < INT32_MIN || number > INT32_MAX) return false;
  code = static_cast<int32_t>(number);
  return true;
}

// One entry at the scanner's position; an empty text on success, else what was wrong.
std::string ParseEntry(LogScanner& scanner, LogRecord& entry) {
  std::string codeText;
  if (!scanner.Expect("\r\n")) return "no empty line before the entry";
  if (!scanner.Expect("System-Date: ") || !scanner.Line(entry.date)) return "bad date line";
  if (!IsTwoDigitTriple(entry.date, '.')) return "date not dd.mm.yy: " + entry.date;
  if (!scanner.Expect("System-Time: ") || !scanner.Line(entry.time)) return "bad time line";
  if (!IsTwoDigitTriple(entry.time, ':')) return "time not HH:MM:SS: " + entry.time;
  if (!scanner.Expect("MsgArt_____: ") || !scanner.Line(entry.kind)) return "bad kind line";
  if (!scanner.Expect("Message____: ") || !scanner.Line(entry.message)) return "bad message line";
  if (!scanner.Expect("Funktion___: ") || !scanner.Line(entry.func)) return "bad function line";
  if (!scanner.Expect("ErrorCode__: ") || !scanner.Line(codeText)) return "bad code line";
  if (!ParseCode(codeText, entry.code)) return "code not plain decimal: " + codeText;
  return "";
}

}  // namespace

RunDir::RunDir() {
  root_ = MakeTempDir("kestrumel-run-");
  run_ = root_ + "/run";
  logDir_ = root_ + "/quelborne_php/log";
  fs::create_directories(run_);
  fs::create_directories(logDir_);
}

RunDir::RunDir(const testing_db::TestDb& db) : RunDir() { db.WriteConfig(ConfigPath()); }

RunDir::~RunDir() {
  std::error_code ignored;
  if (!root_.empty()) fs::remove_all(root_, ignored);
}

std::string RunDir::ConfigPath() const { return run_ + "/kestrumel.cfg"; }

std::string RunDir::LogPath(const std::string& schema) const {
  return logDir_ + "/kestrumel_" + schema + ".log";
}

void RunDir::RemoveLogDir() const {
  std::error_code ignored;
  fs::remove_all(root_ + "/quelborne_php", ignored);
}

std::string ProgramPath() { return KESTRUMEL_BINARY_DIR "/kestrumel"; }
std::string ConfigToolPath() { return KESTRUMEL_BINARY_DIR "/kestrumel-config"; }

std::vector<std::string> CommandLine(const std::string& configPath, const std::string& planGroup,
                                     const std::string& erf, const std::string& jbd,
                                     const std::string& jbk) {
  return {configPath, erf, "ARG3", "ARG4", "ARG5", jbd, jbk, planGroup};
}

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& args,
                               const std::string& workingDir)
    : outPath_(MakeTempFile("kestrumel-out-")), errPath_(MakeTempFile("kestrumel-err-")) {
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = Spawn(path, argv, workingDir, "", outPath_, errPath_);
}

RunningProgram::~RunningProgram() { Wait(); }

ProgramResult RunningProgram::Wait() {
  if (collected_) return result_;
  collected_ = true;
  if (pid_ > 0) result_.exitStatus = WaitFor(pid_);
  result_.out = TakeFile(outPath_);
  result_.err = TakeFile(errPath_);
  return result_;
}

bool RunningProgram::EndsWithin(std::chrono::milliseconds limit) {
  if (collected_ || pid_ <= 0) return true;
  auto deadline = std::chrono::steady_clock::now() + limit;
  int waitStatus = 0;
  int waited = 0;
  while (true) {
    waited = waitpid(pid_, &waitStatus, WNOHANG);
    if (waited == pid_ || (waited < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  collected_ = true;
  result_.exitStatus = waited == pid_ ? ExitStatusOf(waitStatus) : -1;
  result_.out = TakeFile(outPath_);
  result_.err = TakeFile(errPath_);
  return true;
}

void RunningProgram::Signal(int signal) const {
  if (!collected_ && pid_ > 0) kill(pid_, signal);
}

ProgramResult RunExecutable(const std::string& path, const std::vector<std::string>& args,
                            const std::string& workingDir, const std::string& stdinText) {
  std::string inPath = MakeTempFile("kestrumel-in-");
  std::string outPath = MakeTempFile("kestrumel-out-");
  std::string errPath = MakeTempFile("kestrumel-err-");
  WriteFile(inPath, stdinText);
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), args.begin(), args.end());
  ProgramResult result;
  int pid = Spawn(path, argv, workingDir, inPath, outPath, errPath);
  if (pid > 0) result.exitStatus = WaitFor(pid);
  TakeFile(inPath);
  result.out = TakeFile(outPath);
  result.err = TakeFile(errPath);
  return result;
}

ProgramResult RunProgram(const std::string& workingDir, const std::vector<std::string>& args) {
  return RunExecutable(ProgramPath(), args, workingDir);
}

ProgramResult WriteConfigWithTool(const std::string& path, const std::string& net,
                                  const std::string& schema, const std::string& login,
                                  const std::string& password) {
  std::string directory = fs::path(path).parent_path().string();
  return RunExecutable(ConfigToolPath(),
                       {"write", path, "--net", net, "--schema", schema, "--login", login},
                       directory.empty() ? "." : directory, password + "\n");
}

ParsedLog ParseLog(const std::string& text) {
  ParsedLog log;
  log.exists = true;
  LogScanner scanner(text);
  while (!scanner.AtEnd()) {
    size_t start = scanner.Position();
    LogRecord entry;
    std::string problem = ParseEntry(scanner, entry);
    if (!problem.empty()) {
      log.whole = false;
      log.problem = "entry " + std::to_string(log.entries.size() + 1) + " at byte " +
                    std::to_string(start) + ": " + problem;
      break;
    }
    log.entries.push_back(entry);
  }
  return log;
}

ParsedLog ReadLog(const std::string& path) {
  if (!FileExists(path)) return ParsedLog{};
  return ParseLog(ReadFile(path));
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace testing_run
