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
// The slot's deviation row, if it has one, into `row`, numbered in the run-wide `record`: 1 when
// it has one, 0 when not. The slot's save writes the row.
int Bsm_CheckErr(const BsmRecord& slot, ErrRecord& record, ErrRecord& row);
// One deviation row into `row`; `record` keeps only the run-wide fields and the running number,
// readied for the next row.
void Err_Record(const BsmRecord& slot, int32_t code, ErrRecord& record, ErrRecord& row);
