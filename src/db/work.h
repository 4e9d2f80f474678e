#pragma once
// The end of a unit of work: everything the connection changed since the last commit becomes
// permanent together, or is undone together. The request loop makes each request one unit.

// Makes the open transaction permanent. Returns 0 or the status of the failed commit; a
// commit that fails because the transaction's work was lost meanwhile undoes the rest too.
int Work_Commit();

// Undoes the open transaction whole. Returns 0 or the status of the failed rollback.
int Work_Rollback();
