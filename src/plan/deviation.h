#pragma once
#include "db/bsm.h"
#include "db/err.h"

// The run-wide deviation row, set up once by Err_Init.
ErrRecord& RunErrRecord();

// The run's texts go into every row: ErrErf, ErrJbd and ErrJbk.
void Err_Init(const char* planGroup, ErrRecord& record, const char* erfText,
              const char* jbdText, const char* jbkText, int32_t jobType);
// Records at most one deviation of the slot: 1 when one was recorded, 0 when none.
int Bsm_CheckErr(const BsmRecord& slot, ErrRecord& record);
// The slot's deviation from its target, minimum and maximum: its number, 0 when none.
int32_t DeviationCode(const BsmRecord& slot);
void Err_Record(const BsmRecord& slot, int32_t code, ErrRecord& record);
// Err_Record in two halves: the row goes into `series`, its status into `status`; once the
// series has run, Err_Recorded reports a failure and readies `record` for the next row.
void Err_Record_Add(db::SqlSeries& series, const BsmRecord& slot, int32_t code,
                    ErrRecord& record, int& status);
void Err_Recorded(ErrRecord& record, int status);
