#pragma once
// A second process of this same program, for work that needs a database session of its own
// beside the program's one: its standard input and output are pipes to the starter, and it
// ends when its input is closed, also when the starter dies.
#include <memory>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // The next line the child writes, without its end; false at the end of its output or when
  // none came within `timeoutMs`.
  virtual bool ReadLine(std::string& line, int timeoutMs) = 0;
  // Closes the child's input, its sign to end, and waits up to `timeoutMs` for its exit; a
  // child still there then is killed. Returns its exit status, or -1 when it was killed.
  virtual int Finish(int timeoutMs) = 0;
};

// Starts this program's own executable with `arguments` after its name; nullptr when it
// cannot be started. Destroying the result finishes the child as Finish(0) would.
std::unique_ptr<ChildProcess> StartSelf(const std::vector<std::string>& arguments);

}  // namespace platform
