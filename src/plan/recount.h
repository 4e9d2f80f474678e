#pragma once
#include "db/bsm.h"

// Recounts the slot from the duty plan, recomputes its level and saves it: 1 saved, 0 not.
int Bsm_Recount(BsmRecord& record);
// Sets BsmFkt from the net staffing and the slot's target, minimum and maximum.
void Bsm_CalcFkt(BsmRecord& record);
// BsmIst - BsmHtg - min(BsmHtv, BsmHtn).
int32_t NetStaffing(const BsmRecord& record);
