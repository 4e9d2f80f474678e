#include "db/tag.h"

#include <cstring>

#include "common/text_field.h"
#include "db/batch.h"
#include "db/transfer_buffer.h"

static const char* Read_UrlKrk_Tgb_Sql =
    "select TagTgb ,TagHtv ,TagHtn into :b0:b1,:b2:b3,:b4:b5  from rvk327tag where (tagpnr=:b6 "
    "and tagtag=TO_Date(:b7,'yyyymmdd'))";

namespace {

// The statement's transfer buffers, as wide as announced to the database.
using TagBuffers = TagRow<11>;

TagBuffers buffers;

// Only a code above three blanks counts as set; an empty or blank code (NULL arrives empty)
// leaves the field at its absent form.
template <size_t N>
void TakeCodeIfSet(char (&field)[N], const char* fetched) {
  if (std::strcmp(fetched, "   ") > 0) CopyField(field, fetched);
}

}  // namespace

void Read_UrlKrk_Tgb(db::Batch& batch, TagRecord& record, int& status) {
  TransferField(buffers.TagPnr, record.TagPnr);
  TransferField(buffers.TagTag, record.TagTag);
  batch.series.Add(Read_UrlKrk_Tgb_Sql, {
      db::TextIn(buffers.TagPnr), db::TextIn(buffers.TagTag),
  }, {
      db::TextOut(buffers.TagTgb, true), db::TextOut(buffers.TagHtv, true),
      db::TextOut(buffers.TagHtn, true),
  }, status);
  batch.After([&record, &status] {
    if (status != 0) return;
    TakeCodeIfSet(record.TagTgb, buffers.TagTgb);
    TakeCodeIfSet(record.TagHtv, buffers.TagHtv);
    TakeCodeIfSet(record.TagHtn, buffers.TagHtn);
  });
}

void Tag_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Read_UrlKrk_Tgb", Read_UrlKrk_Tgb_Sql},
  });
}
