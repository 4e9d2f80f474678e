#pragma once
// The end of a unit of work: everything the connection changed since the last commit becomes
// permanent together, or is undone together. The request loop makes each request one unit.

// Makes the open transaction permanent. Returns 0 or the status of the failed commit; a
// commit that fails because the transaction's work was lost meanwhile undoes the rest too.
int Work_Commit();

// Undoes the open transaction whole. Returns 0 or the status of the failed rollback.
int Work_Rollback();

// The first fault a statement of the open unit met, or 0. While there is one nothing more is
// sent: the unit can only be rolled back, and its statement has told of it.
int Work_Fault();

// Whether the connection is gone: nothing can be sent until a new one is made.
bool Work_ConnectionLost();
