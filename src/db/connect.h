#pragma once
// The one connection of a run: connect, then switch the session to the configured schema.
// Returns 0, or the status of the failed connect or schema switch.
#include "db/runtime/runtime.h"

// A read-only connection (for a check of the database) cannot change anything.
int dbConnect(const char* user, const char* password, const char* netService, const char* schema,
              db::Access access = db::Access::ReadWrite);

// Connects again as the last successful dbConnect did, after its connection was lost (a
// multi-host service finds whichever host now takes writes). Returns 0, or the failure's status
// (-3114 without an earlier connect).
int dbReconnect();
