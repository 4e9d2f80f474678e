#pragma once
#include "db/bsm.h"
#include "db/err.h"

// The run-wide deviation row, set up once by Err_Init.
ErrRecord& RunErrRecord();

// The run's texts go into every row: ErrErf, ErrJbd and ErrJbk.
void Err_Init(const char* planGroup, ErrRecord& record, const char* erfText,
              const char* jbdText, const char* jbkText, int32_t jobType);
// BsmIst - BsmHtg - min(BsmHtv, BsmHtn), saturated to 32 bits: what the slot has.
int32_t NetStaffing(const BsmRecord& record);
// The slot's deviation from its target, minimum and maximum: its number, 0 when none.
int32_t DeviationCode(const BsmRecord& slot);
// Puts the slot's deviation row, if it has one, into `series`, its status into `status`:
// 1 when it did, 0 when the slot has none.
int Bsm_CheckErr(db::SqlSeries& series, const BsmRecord& slot, ErrRecord& record, int& status);
// Puts one deviation row into `series`, its status into `status`. The row takes its values
// at once, so `record` is readied for the next row before the series runs.
void Err_Record(db::SqlSeries& series, const BsmRecord& slot, int32_t code, ErrRecord& record,
                int& status);
