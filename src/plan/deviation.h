#pragma once
#include "db/bsm.h"
#include "db/err.h"
#include "run/run_parameters.h"

// The run-wide deviation row, set up once by Err_Init.
ErrRecord& RunErrRecord();

void Err_Init(const char* planGroup, ErrRecord& record, const RunParameters& parameters,
              int32_t jobType);
// Records at most one deviation of the slot: 1 when one was recorded, 0 when none.
int Bsm_CheckErr(const BsmRecord& slot, ErrRecord& record);
void Err_Record(const BsmRecord& slot, int32_t code, ErrRecord& record);
