#pragma once
// rvk327tag: the three day codes of a person and day.
#include <cstddef>

#include "db/statement_list.h"

// The one description of a day-code row. The record and the lookup's transfer buffers share it
// and differ only in the width of the day, which the lookup announces as 11.
template <size_t DayWidth>
struct TagRow {
  char TagPnr[9];
  char TagTag[DayWidth];
  char TagTgb[4];
  char TagHtv[4];
  char TagHtn[4];
};

using TagRecord = TagRow<9>;

namespace db {
class Batch;
}

// Goes out when `batch` runs, its status to `status`; `record` must live until then and takes
// the codes that are set.
void Read_UrlKrk_Tgb(db::Batch& batch, TagRecord& record, int& status);

// The module's statements that reach a table.
void Tag_Statements(std::vector<db::NamedStatement>& statements);
