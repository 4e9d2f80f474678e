#pragma once
// Fault injection for tests: the N-th matching call of a runtime operation fails with a chosen
// status. Only test builds have it (KESTRUMEL_FAULT_SEAM); elsewhere the check is a constant 0.
namespace db {

enum class FaultOp { Execute, Open, Fetch };

#ifdef KESTRUMEL_FAULT_SEAM

// Arms a fault: the `nthCall`-th call (counting from 1, from this arming on) of `op` whose
// statement text contains `textFragment` returns `status` instead of running.
void FaultSeam_Arm(FaultOp op, const char* textFragment, int nthCall, int status);
void FaultSeam_Clear();

// Used by the runtime core: 0 when the call goes ahead, else the armed status.
int FaultSeam_Check(FaultOp op, const char* statementText);

#else

inline int FaultSeam_Check(FaultOp, const char*) { return 0; }

#endif

}  // namespace db
