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

// Changes the row; when it `counts`, reads its slot's staffing row after the change, recounts it
// and records its deviation. An unreadable slot is reported and left: no recount on unread values.
void ChangeRowAndUpdateSlot(const BdpRecord& row, bool counts, const RowChangeReport& change);

// Recounts the slot (`counted` holds the counts when taken for the slot's end), recomputes its
// level, saves it with its deviation row: 1 saved, 0 not. Failures are logged; a fault of the
// counts saves nothing.
int Bsm_Recount(BsmRecord& record, const BdpTally* counted);
// Sets BsmFkt from the net staffing and the slot's target, minimum and maximum.
void Bsm_CalcFkt(BsmRecord& record);

// The run-wide deviation row of the slots a run recounts, set up once by Err_Init.
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
