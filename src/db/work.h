#pragma once
// The end of a unit of work, a request: what it changed becomes permanent or is undone as one.
// Inline: each forwards to the runtime, once or more per request.
#include "db/runtime/runtime.h"

// Makes the open transaction permanent. Returns 0 or the status of the failed commit; a
// commit that fails because the transaction's work was lost meanwhile undoes the rest too.
inline int Work_Commit() { return db::SqlExecute("commit"); }

// Undoes the open transaction whole. Returns 0 or the status of the failed rollback.
inline int Work_Rollback() { return db::SqlExecute("rollback"); }

// The first fault a statement of the open unit met, or 0. While there is one nothing more is
// sent: the unit can only be rolled back, and its statement has told of it.
inline int Work_Fault() { return db::SqlFault(); }

// Whether the connection is gone: nothing can be sent until a new one is made.
inline bool Work_ConnectionLost() { return db::SqlConnectionLost(); }
