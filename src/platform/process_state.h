#pragma once
// Whether a process of this machine still runs, and the machine's name, for telling a run
// that is still at work from one that ended without a word.
#include <string>

namespace platform {

// True while the process `pid` exists on this machine, also when it belongs to another user;
// false for a pid that is not positive or no longer runs.
bool ProcessRuns(long pid);

// The id of this process, as ProcessRuns takes it.
long CurrentProcessId();

// This machine's host name as the system names it, or "" when it cannot be told.
std::string HostName();

}  // namespace platform
