#include "platform/process_state.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace platform {

// Signal 0 only asks: EPERM means the process is there but another user's.
bool ProcessRuns(long pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  if (kill(static_cast<pid_t>(pid), 0) == 0) return true;
  return errno == EPERM;
}

long CurrentProcessId() { return static_cast<long>(getpid()); }

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

}  // namespace platform
