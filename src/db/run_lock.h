#pragma once
// A lock of the session by name, which keeps runs of one planning group apart where the
// server has such locks; it lasts as long as the session.

// Status of Run_TryLock when the server has no named locks: the caller keeps runs apart by
// its own means.
constexpr int kRunLockNotOnServer = 1;

// Takes the lock `name` without waiting: 0 with `taken` telling whether it was free,
// kRunLockNotOnServer, or the failure's status. Only between transactions.
int Run_TryLock(const char* name, bool& taken);
