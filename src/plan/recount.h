#pragma once
#include "db/bdp_tally.h"
#include "db/bsm.h"

// Recounts the slot from the duty plan, recomputes its level and saves it: 1 saved, 0 not.
// `counted`, when given and taken for the slot's end, holds the counts already.
int Bsm_Recount(BsmRecord& record, const BdpTally* counted = nullptr);
// The same without the save.
void Bsm_Count(BsmRecord& record, const BdpTally* counted = nullptr);
// The tally of `slot`'s rows that end at `end`, its counts still 0.
BdpTally SlotTallyFor(const BsmRecord& slot, int32_t end);
// Sets BsmFkt from the net staffing and the slot's target, minimum and maximum.
void Bsm_CalcFkt(BsmRecord& record);
// BsmIst - BsmHtg - min(BsmHtv, BsmHtn).
int32_t NetStaffing(const BsmRecord& record);
