#pragma once
#include "db/bdp_tally.h"
#include "db/bsm.h"

// Recounts the slot from the duty plan, recomputes its level, saves it and records its
// deviation in the run-wide deviation row: 1 saved, 0 not. `counted`, when not null and taken
// for the slot's end, holds the counts already. Failures are logged; a fault of the counts
// saves nothing.
int Bsm_Recount(BsmRecord& record, const BdpTally* counted);
// The tally of `slot`'s rows that end at `end`, its counts still 0.
BdpTally SlotTallyFor(const BsmRecord& slot, int32_t end);
// Sets BsmFkt from the net staffing and the slot's target, minimum and maximum.
void Bsm_CalcFkt(BsmRecord& record);
