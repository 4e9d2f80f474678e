#include "common/program_run.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/temp_path.h"
#include "common/test_db.h"

namespace testing_run {
namespace {

namespace fs = std::filesystem;
using testing_files::MakeTempFile;
using testing_files::PathOf;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(PathOf(path), std::ios::binary | std::ios::trunc);
  file << text;
}

std::string TakeFile(const std::string& path) {
  std::string text = ReadFile(path);
  std::error_code ignored;
  fs::remove(PathOf(path), ignored);
  return text;
}

std::vector<std::string> WithArgumentZero(const std::string& path,
                                          const std::vector<std::string>& args) {
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
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
  root_ = testing_files::MakeTempDir("kestrumel-run-");
  run_ = root_ + "/run";
  logDir_ = root_ + "/quelborne_php/log";
  fs::create_directories(PathOf(run_));
  fs::create_directories(PathOf(logDir_));
}

RunDir::RunDir(const testing_db::TestDb& db) : RunDir() { db.WriteConfig(ConfigPath()); }

RunDir::~RunDir() {
  std::error_code ignored;
  if (!root_.empty()) fs::remove_all(PathOf(root_), ignored);
}

std::string RunDir::ConfigPath() const { return run_ + "/kestrumel.cfg"; }

std::string RunDir::LogPath(const std::string& schema) const {
  return logDir_ + "/kestrumel_" + schema + ".log";
}

void RunDir::RemoveLogDir() const {
  std::error_code ignored;
  fs::remove_all(PathOf(root_ + "/quelborne_php"), ignored);
}

std::string ProgramPath() { return KESTRUMEL_BINARY_DIR "/kestrumel" KESTRUMEL_EXE_SUFFIX; }
std::string ConfigToolPath() {
  return KESTRUMEL_BINARY_DIR "/kestrumel-config" KESTRUMEL_EXE_SUFFIX;
}

std::vector<std::string> CommandLine(const std::string& configPath, const std::string& planGroup,
                                     const std::string& erf, const std::string& jbd,
                                     const std::string& jbk) {
  return {configPath, erf, "ARG3", "ARG4", "ARG5", jbd, jbk, planGroup};
}

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& args,
                               const std::string& workingDir)
    : outPath_(MakeTempFile("kestrumel-out-")), errPath_(MakeTempFile("kestrumel-err-")) {
  process_.Start(path, WithArgumentZero(path, args), workingDir, {"", outPath_, errPath_});
}

RunningProgram::~RunningProgram() { Wait(); }

ProgramResult RunningProgram::Wait() {
  EndsWithin(testing_process::kForever);
  return result_;
}

bool RunningProgram::EndsWithin(std::chrono::milliseconds limit) {
  if (collected_) return true;
  int exitStatus = -1;  // also when the process never started
  if (!process_.Collect(limit, exitStatus)) return false;
  collected_ = true;
  result_.exitStatus = exitStatus;
  result_.out = TakeFile(outPath_);
  result_.err = TakeFile(errPath_);
  return true;
}

void RunningProgram::AskToStop() const {
  if (!collected_) process_.AskToStop();
}

void RunningProgram::Kill() const {
  if (!collected_) process_.Kill();
}

namespace {

ProgramResult RunOnce(const std::string& path, const std::vector<std::string>& args,
                      const std::string& workingDir, const std::string& stdinText) {
  std::string inPath = MakeTempFile("kestrumel-in-");
  std::string outPath = MakeTempFile("kestrumel-out-");
  std::string errPath = MakeTempFile("kestrumel-err-");
  WriteFile(inPath, stdinText);
  ProgramResult result;
  testing_process::Process process;
  if (process.Start(path, WithArgumentZero(path, args), workingDir, {inPath, outPath, errPath})) {
    process.Collect(testing_process::kForever, result.exitStatus);
  }
  TakeFile(inPath);
  result.out = TakeFile(outPath);
  result.err = TakeFile(errPath);
  return result;
}

}  // namespace

// Wine now and then fails to start a process: it ends at once with the code of a killed one
// and says nothing. Nothing here kills a process it runs to its end, and the programs never
// leave that code themselves, so such a start is tried once more, and told on stderr.
ProgramResult RunExecutable(const std::string& path, const std::vector<std::string>& args,
                            const std::string& workingDir, const std::string& stdinText) {
  const auto start = std::chrono::steady_clock::now();
  ProgramResult result = RunOnce(path, args, workingDir, stdinText);
  const bool notStarted = result.exitStatus == -1 && result.out.empty() && result.err.empty() &&
                          std::chrono::steady_clock::now() - start < std::chrono::seconds(1);
  if (notStarted && testing_process::UnderWine()) {
    std::fprintf(stderr, "note: %s did not start under Wine; started once more\n", path.c_str());
    result = RunOnce(path, args, workingDir, stdinText);
  }
  return result;
}

ProgramResult RunProgram(const std::string& workingDir, const std::vector<std::string>& args) {
  return RunExecutable(ProgramPath(), args, workingDir);
}

ProgramResult WriteConfigWithTool(const std::string& path, const std::string& net,
                                  const std::string& schema, const std::string& login,
                                  const std::string& password) {
  std::string directory = testing_files::TextOf(PathOf(path).parent_path());
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
  return fs::exists(PathOf(path), ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(PathOf(path), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace testing_run
