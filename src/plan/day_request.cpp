#include "plan/day_request.h"

#include <cstring>

#include "common/text_field.h"
#include "db/bdp.h"
#include "db/status.h"
#include "db/status_kind.h"
#include "db/tag.h"
#include "db/work.h"
#include "plan/failure_report.h"
#include "plan/recount.h"

namespace {

// Three blanks (no code) wherever the person's day codes cannot be read.
TagRecord BlankCodes(const PudRecord& request) {
  TagRecord codes{};
  CopyField(codes.TagPnr, request.PudPnr);
  CopyField(codes.TagTag, request.PudDtm);
  CopyField(codes.TagTgb, "   ");
  CopyField(codes.TagHtv, "   ");
  CopyField(codes.TagHtn, "   ");
  return codes;
}

// Marks the request, opens its day and reads the codes. A failed open shows as a failed first
// fetch unless it met a fault. Returns the mark's status; a fault it met is told by its owner.
int MarkOpenDayAndReadCodes(const PudRecord& request, TagRecord& codes) {
  const DayOpening first = Bdp_OpenRequestDay(request, codes);
  if (db::status::IsFault(first.marked)) return first.marked;  // nothing after it went out
  if (db::status::IsFault(first.opened)) {
    ReportFailure("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", first.opened);
    return first.marked;
  }
  if (first.read != 0) ReportFailure("Read_UrlKrk_Tgb()", "Fehler: Read Rvk327Tag", first.read);
  return first.marked;
}

void SaveRowAndItsSlot(BdpRecord& row, const TagRecord& codes) {
  CopyField(row.BdpFc1, codes.TagTgb);
  CopyField(row.BdpFc2, codes.TagHtv);
  CopyField(row.BdpFc3, codes.TagHtn);
  // A row marked deleted still carries the codes but counts in no slot.
  bool counts = std::strcmp(row.BdpSts, "D") != 0;
  ChangeRowAndUpdateSlot(row, counts,
                         {RowChangeKind::Update, "Bdp_PKeyUpd()", "Fehler: Update BdpSatz(BdpBnr)"});
}

}  // namespace

int ProcessDayRequest(const PudRecord& request) {
  TagRecord codes = BlankCodes(request);
  const int marked = MarkOpenDayAndReadCodes(request, codes);
  if (Work_Fault() != 0) return marked;  // the request is over; its fault is told
  BdpRecord row{};
  int status;
  while ((status = Bdp_PnrBszDmy_Read(row)) == 0) {
    SaveRowAndItsSlot(row, codes);
    if (Work_Fault() != 0) break;
  }
  Bdp_PnrBszDmy_Close();
  if (status != 0 && status != db::status::kNoData) {
    ReportFailure("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", status);
  }
  return marked;
}
