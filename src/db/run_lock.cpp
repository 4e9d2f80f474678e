#include "db/run_lock.h"

#include "db/runtime/runtime.h"

static_assert(kRunLockNotOnServer == db::kNoNamedLocks);

int Run_TryLock(const char* name, bool& taken) { return db::SqlTryLockName(name, taken); }
