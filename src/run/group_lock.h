#pragma once
// One run per schema and planning group at a time: two runs of one group would each take the
// other's requests and report every one of them as failed. The lock dies with its holder, so
// a killed run never blocks the next: on a server that has them, a lock of the session;
// elsewhere a lock on a file beside the log (which keeps apart the runs of one machine).
#include <string>

enum class GroupLockResult { kHeld, kBusy, kStopped, kConnectionLost };

// Takes the lock of `schema` and `group`, waiting up to 10 minutes for a run that holds it
// and less when a stop is asked for. `lockFileName` is where the file lock goes when the
// server has none. Held until the process ends. RetakeGroupLock, after a new connection whose
// session does not have it, tries once and goes on either way.
GroupLockResult TakeGroupLock(const std::string& schema, const std::string& group,
                              const std::string& lockFileName);
GroupLockResult RetakeGroupLock();
