#pragma once
// Starting, stopping and collecting another process: the one thing the tests do differently
// on each system (posix/process.cpp, windows/process.cpp). Paths and arguments are UTF-8.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_process {

// Where a started process's standard handles lead: `out` and `err` are files, emptied first;
// `in` is a file to read, or nothing at all when empty.
struct Redirection {
  std::string in;
  std::string out;
  std::string err;
};

// Waiting without a limit.
inline constexpr std::chrono::milliseconds kForever{-1};

// One started process until it is collected. An exit status is -1 when the process did not
// end by itself (killed, ended by a signal) or could not be started.
class Process {
 public:
  Process() = default;
  ~Process();  // releases what is left of an uncollected process without waiting
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `path` with `args` (argument 0 included) in `workingDir`; false when it cannot be
  // started. On Windows the process gets a process group of its own, for a Ctrl-Break to reach
  // it alone.
  bool Start(const std::string& path, const std::vector<std::string>& args,
             const std::string& workingDir, const Redirection& io);
  bool Running() const;  // started and not yet collected
  // Waits at most `limit` (kForever: no limit) for the end; true when the process has ended
  // and is collected, with `exitStatus` set. True at once, `exitStatus` untouched, when no
  // process runs.
  bool Collect(std::chrono::milliseconds limit, int& exitStatus);
  // Asks the process to stop as an operator would (SIGTERM; Ctrl-Break on Windows).
  void AskToStop() const;
  // Ends the process at once (SIGKILL; TerminateProcess on Windows).
  void Kill() const;

 private:
  int64_t id_ = -1;         // the process id, -1 while none runs
  intptr_t handle_ = 0;     // Windows: the process handle; unused elsewhere
};

// The signal number the program logs for AskToStop: SIGTERM; for Ctrl-Break on Windows as
// well, but SIGINT under Wine, where the request is a Ctrl-C.
int StopSignalNumber();

// Whether AskToStop may hang a program that is busy in a library of the host system. Under
// Wine a Ctrl-C arrives as a Unix signal on the program's main thread, and Wine's handler
// starts a thread right there: when the signal lands inside the host's malloc (in the ODBC
// driver Wine hands the program's calls to, or in Wine's own file calls), the process
// deadlocks on the lock it holds. A fault of Wine, not of the program; Windows starts the
// handler's thread from outside.
bool StopMayHangHostLibraries();

// Whether this runs under Wine, whose Windows differs from the real one where tests look.
bool UnderWine();

// Sets or removes an environment variable of this process, for the processes it starts later
// (and the libraries it calls) to see.
void SetVariable(const std::string& name, const std::string& value);
void RemoveVariable(const std::string& name);

int64_t CurrentProcessId();
std::string ThisExecutable();  // the path of the running executable
// The command line of this process as UTF-8 texts (Windows hands `main` the local code page).
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace testing_process
