#pragma once
// The staffing slot of a changed duty row: recounted from the duty plan, its level recomputed,
// saved with its deviation row in the request's transaction.
#include "db/bdp.h"
#include "db/bsm.h"
#include "db/err.h"

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

// The deviation rows of the slots a run recounts.
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
