#pragma once
// What both request handlers do with a duty row: its change and, when the row counts in a slot,
// the slot's recount and deviation check in the same transaction.
#include "db/bdp.h"

// A change of a duty row, and how its failure is reported.
struct RowChange {
  void (*add)(db::SqlSeries& series, const BdpRecord& row, int& status);
  const char* function;
  const char* message;
};

// Changes the row; when it `counts`, reads the staffing row of its slot after the change,
// recounts it and records its deviation. A slot whose staffing row cannot be read is reported
// and left alone: neither a recount nor a check may run on values that were never read for it.
void ChangeRowAndUpdateSlot(const BdpRecord& row, bool counts, const RowChange& change);
