#pragma once
// One run per schema and planning group at a time: two runs of a group would take each other's
// requests and report them as failed. The lock dies with its holder (a session lock on a server
// that has them, else a file lock beside the log), so a killed run never blocks the next.
#include <string>

enum class GroupLockResult { kHeld, kBusy, kStopped, kConnectionLost };

// Takes the lock of `schema` and `group` (in `lockFileName` when the server has none), waiting
// up to 10 minutes for a run that holds it, less after a stop; held until the process ends.
// RetakeGroupLock, on a new connection, tries once and goes on either way.
GroupLockResult TakeGroupLock(const std::string& schema, const std::string& group,
                              const std::string& lockFileName);
GroupLockResult RetakeGroupLock();
