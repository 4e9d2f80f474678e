#pragma once
// Running the program the way it is run in production: from a working directory whose
// sibling "quelborne_php/log" receives the log, with a configuration file and a command line.
// Either the built executable (a separate process) or Main in a child run of the test
// executable, so that in-process seams (fault injection) can be armed first. Also reads the
// log back as entries for assertions.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/process.h"
#include "db/runtime/fault_seam.h"

namespace testing_db {
class TestDb;
}

namespace testing_run {

// A temporary tree W with W/run (the working directory) and W/quelborne_php/log (the log
// folder the program writes to), removed at destruction.
class RunDir {
 public:
  // With a database: also writes its configuration file to ConfigPath().
  RunDir();
  explicit RunDir(const testing_db::TestDb& db);
  ~RunDir();
  RunDir(const RunDir&) = delete;
  RunDir& operator=(const RunDir&) = delete;

  const std::string& Root() const { return root_; }     // W
  const std::string& RunPath() const { return run_; }   // W/run
  const std::string& LogDir() const { return logDir_; } // W/quelborne_php/log
  std::string ConfigPath() const;                       // W/run/kestrumel.cfg
  // W/quelborne_php/log/kestrumel_<schema>.log, where the program logs for that schema.
  std::string LogPath(const std::string& schema) const;
  // Removes the log folder (to run without a writable log).
  void RemoveLogDir() const;

 private:
  std::string root_;
  std::string run_;
  std::string logDir_;
};

// What a process left behind: its exit status (-1 when it did not exit normally: signal,
// failed start) and everything it wrote to stdout and stderr.
struct ProgramResult {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

// The built program and the configuration tool.
std::string ProgramPath();     // KESTRUMEL_BINARY_DIR "/kestrumel" (".exe" on Windows)
std::string ConfigToolPath();  // KESTRUMEL_BINARY_DIR "/kestrumel-config" (".exe" on Windows)

// The eight arguments of a complete command line (argument 0 is added by the runners):
// config file, erf, three unused, jbd, jbk, planning group.
std::vector<std::string> CommandLine(const std::string& configPath, const std::string& planGroup,
                                     const std::string& erf = "ERFTEXT",
                                     const std::string& jbd = "20240101120000",
                                     const std::string& jbk = "JOBKENNUNG");

// Starts `path` with `args` (argument 0 is `path`) in `workingDir`, feeds `stdinText`
// to its stdin, waits for it and captures its output.
ProgramResult RunExecutable(const std::string& path, const std::vector<std::string>& args,
                            const std::string& workingDir, const std::string& stdinText = "");

// A running process, its stdout and stderr going to files; Wait() collects it (once).
class RunningProgram {
 public:
  RunningProgram(const std::string& path, const std::vector<std::string>& args,
                 const std::string& workingDir);
  ~RunningProgram();  // waits if not yet collected
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  ProgramResult Wait();
  // Waits at most `limit` for the process to end; true when it has ended (then collected).
  bool EndsWithin(std::chrono::milliseconds limit);
  // Unless the process has been collected: asks it to stop as an operator would (SIGTERM;
  // Ctrl-Break on Windows), or ends it at once (SIGKILL; TerminateProcess).
  void AskToStop() const;
  void Kill() const;

 private:
  testing_process::Process process_;
  std::string outPath_;
  std::string errPath_;
  bool collected_ = false;
  ProgramResult result_;
};

// The built program in `workingDir`, run to its end.
ProgramResult RunProgram(const std::string& workingDir, const std::vector<std::string>& args);

// A fault for the child to arm before Main: the `nthCall`-th call of `op` whose statement
// text contains `textFragment` returns `status` (db::FaultSeam_Arm).
struct ChildFault {
  db::FaultOp op = db::FaultOp::Execute;
  std::string textFragment;
  int nthCall = 1;
  int status = 0;
};

// Main of this test executable in a child process working in `workingDir`: the child arms
// `fault`, runs Main with argument 0 ProgramPath() and `args`, and ends with Main's result.
// The parent waits; output of the child is captured.
ProgramResult RunMainInChild(const std::string& workingDir, const std::vector<std::string>& args,
                             const std::optional<ChildFault>& fault = std::nullopt);

// Writes a configuration file record by record with the configuration tool
// ("write FILE --net N --schema S --login L", the password on stdin); returns its result.
ProgramResult WriteConfigWithTool(const std::string& path, const std::string& net,
                                  const std::string& schema, const std::string& login,
                                  const std::string& password);

// One log entry as the program writes it.
struct LogRecord {
  std::string date;  // dd.mm.yy
  std::string time;  // HH:MM:SS
  std::string kind;  // e.g. "FMSG " (with its trailing blank)
  std::string message;
  std::string func;
  int32_t code = 0;
};

// A log file read back: `exists` false when there is no file; `whole` false when the text is
// not a sequence of complete, well-formed entries (then `problem` says where it stops).
struct ParsedLog {
  bool exists = false;
  bool whole = true;
  std::string problem;
  std::vector<LogRecord> entries;
};

// Parses log text byte for byte: each entry "\r\nSystem-Date: dd.mm.yy\r\nSystem-Time:
// HH:MM:SS\r\nMsgArt_____: <kind>\r\nMessage____: <m>\r\nFunktion___: <f>\r\nErrorCode__:
// <n>\r\n", dates and times checked by format, codes plain decimal.
ParsedLog ParseLog(const std::string& text);
ParsedLog ReadLog(const std::string& path);

bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);  // "" when missing

}  // namespace testing_run
