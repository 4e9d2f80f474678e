#pragma once
// The staffing slot of a changed duty row: recounted from the duty plan, its level recomputed,
// saved with its deviation row in the request's transaction.
#include "db/bdp.h"
#include "db/bsm.h"

// How a duty row is changed, and how its failure is reported.
struct RowChangeReport {
  RowChangeKind kind;
  const char* function;
  const char* message;
};

// Changes the row; when it `counts`, reads the staffing row of its slot after the change,
// recounts it and records its deviation. A slot whose staffing row cannot be read is reported
// and left alone: neither a recount nor a check may run on values that were never read for it.
void ChangeRowAndUpdateSlot(const BdpRecord& row, bool counts, const RowChangeReport& change);

// Recounts the slot from the duty plan, recomputes its level, saves it and records its
// deviation in the run-wide deviation row: 1 saved, 0 not. `counted`, when not null and taken
// for the slot's end, holds the counts already. Failures are logged; a fault of the counts
// saves nothing.
int Bsm_Recount(BsmRecord& record, const BdpTally* counted);
// The tally of `slot`'s rows that end at `end`, its counts still 0.
BdpTally SlotTallyFor(const BsmRecord& slot, int32_t end);
// Sets BsmFkt from the net staffing and the slot's target, minimum and maximum.
void Bsm_CalcFkt(BsmRecord& record);
