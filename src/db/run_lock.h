#pragma once
// A lock of the session by name, which keeps runs of one planning group apart where the
// server has such locks; it lasts as long as the session.
#include "db/runtime/runtime.h"

// Status of Run_TryLock when the server has no named locks: the caller keeps runs apart by
// its own means.
constexpr int kRunLockNotOnServer = db::kNoNamedLocks;

// Takes the lock `name` without waiting: 0 with `taken` telling whether it was free,
// kRunLockNotOnServer, or the failure's status. Only between transactions.
inline int Run_TryLock(const char* name, bool& taken) { return db::SqlTryLockName(name, taken); }
