#pragma once
// Rvk740Pud: the queue of plan-update requests.
#include <cstddef>
#include <cstdint>

#include "db/statement_list.h"

namespace db {
class Batch;
}

// The one description of a request row, for the record and the transfer buffers, which the
// statements announce with a request date 11 and a time stamp 27 wide.
template <size_t DateWidth, size_t StampWidth>
struct PudRow {
  char PudPnr[9];           // person number
  char PudDtm[DateWidth];   // request date yyyymmdd
  int32_t PudTyp;           // 1 single day, 2 date range
  int32_t PudKng;           // 1 pending, 3 done
  int32_t PudTxc;
  char PudPlg[6];           // planning group
  char PudErf[51];
  char PudDat[StampWidth];  // time stamp yyyymmddHH24MISS, identifies the row
};

using PudRecord = PudRow<15, 23>;

int Pud_TSCur_Open(const char* planGroup);
int Pud_TSCur_Read(PudRecord& record);
int Pud_TSCur_Close();
// The write-back goes out when `batch` runs; its status goes to `status`.
void Pud_PKeyUpd(db::Batch& batch, const PudRecord& record, int& status);
// The write-back on its own, for a request no handler takes; returns its status.
int Pud_MarkDone(const PudRecord& record);
int Pud_KngDel(const char* planGroup, int32_t state);
// The group's pending requests, for the run's report.
int Pud_PendingCount(const char* planGroup, int32_t& count);

// The module's statements that reach a table.
void Pud_Statements(std::vector<db::NamedStatement>& statements);
