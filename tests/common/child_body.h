#pragma once
// Second processes of the tests: the test executable started again to run one registered
// body instead of its tests, the same way on every system. The child shares nothing with the
// test but what it is given as arguments: no open file, no database connection, no lock.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/program_run.h"

namespace testing_child {

// A body takes its arguments as text; what it returns is the child's exit status.
using Body = int (*)(const std::vector<std::string>& args);

// Registers a body under a name at static initialisation, in the file that uses it:
//   const testing_child::Registration kWriter("log-writer", &WriteAsWriterBody);
class Registration {
 public:
  Registration(const std::string& name, Body body);
};

// For the test main: when `args` (this process's command line) ask for a body, runs it, sets
// `status` to its result and returns true.
bool RunRequestedBody(const std::vector<std::string>& args, int& status);

// Starts body `name` with `args` in a child working in `workingDir` (default: the test's
// own); its output is collected with its exit status.
std::unique_ptr<testing_run::RunningProgram> Start(const std::string& name,
                                                   const std::vector<std::string>& args,
                                                   const std::string& workingDir = "");

// A file one process creates to tell another that it has reached a point. The waiting side
// owns it: a fresh name, removed at destruction; the other side gets Path() as an argument.
class Flag {
 public:
  Flag();
  ~Flag();
  Flag(const Flag&) = delete;
  Flag& operator=(const Flag&) = delete;
  const std::string& Path() const { return path_; }
  // Whether the flag is raised within `limit`.
  bool WaitRaised(std::chrono::milliseconds limit) const;

 private:
  std::string path_;
};
void Raise(const std::string& flagPath);
bool WaitRaised(const std::string& flagPath, std::chrono::milliseconds limit);

}  // namespace testing_child
