#pragma once
// Rvk746Err: deviation rows.
#include <cstddef>
#include <cstdint>

#include "db/statement_list.h"

namespace db {
class Batch;
}

// The one description of a deviation row. The record and the insert's transfer buffers share it
// and differ only in the width of the date, which the insert announces as 11.
template <size_t DateWidth>
struct ErrRow {
  char ErrPlg[6];
  char ErrKng[6];
  int32_t ErrLfn;
  char ErrPnr[9];
  char ErrEso[6];
  char ErrEsa[6];
  char ErrKnz[6];
  char ErrBdt[DateWidth];
  int32_t ErrZtv;
  int32_t ErrZtb;
  int32_t ErrFnr;
  char ErrErf[51];
  char ErrJbd[15];
  char ErrJbk[33];
};

using ErrRecord = ErrRow<9>;

// Goes out when `batch` runs; its status goes to `status`. The row's values are taken at
// once: `record` may change before then.
void Err_Insert(db::Batch& batch, const ErrRecord& record, int& status);

// The module's statements that reach a table.
void Err_Statements(std::vector<db::NamedStatement>& statements);
