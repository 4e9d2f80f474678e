#pragma once
// Who this process is, as a run's report names it: so that a reader on the same machine can
// tell whether the run still goes on.
#include <string>

namespace platform {

long CurrentProcessId();
// The machine's name, or "" when it cannot be told.
std::string HostName();

}  // namespace platform
