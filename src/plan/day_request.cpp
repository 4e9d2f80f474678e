#include "plan/day_request.h"

#include <cstring>

#include "common/text_field.h"
#include "db/bdp.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"
#include "db/tag.h"
#include "plan/failure_report.h"
#include "plan/slot_update.h"

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

// The day codes on their own, when a failed open held them back.
int ReadCodes(TagRecord& codes) {
  db::SqlSeries read;
  int status = db::status::kOk;
  Read_UrlKrk_Tgb(read, codes, status);
  read.Run();
  return status;
}

// The done mark, the day's rows and the day codes do not depend on each other: they go out
// together. The opening goes before the codes, as a series stops at its first failing read:
// a day without codes then costs no second trip. A failed open shows as a failed first fetch
// unless it met a fault. Returns the mark's status; a fault it met is told by its owner.
int MarkOpenDayAndReadCodes(const PudRecord& request, TagRecord& codes) {
  db::SqlSeries first;
  int marked = db::status::kOk;
  int opened = db::status::kOk;
  int read = db::status::kOk;
  Pud_PKeyUpd(first, request, marked);
  Bdp_PnrBszDmy_Open(first, request.PudPnr, request.PudDtm, opened);
  Read_UrlKrk_Tgb(first, codes, read);
  first.Run();
  if (db::status::IsFault(marked)) return marked;  // nothing after it went out
  if (db::status::IsFault(opened)) {
    ReportFailure("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", opened);
    return marked;
  }
  if (opened != 0) read = ReadCodes(codes);
  if (read != 0) ReportFailure("Read_UrlKrk_Tgb()", "Fehler: Read Rvk327Tag", read);
  return marked;
}

void SaveRowAndItsSlot(BdpRecord& row, const TagRecord& codes) {
  CopyField(row.BdpFc1, codes.TagTgb);
  CopyField(row.BdpFc2, codes.TagHtv);
  CopyField(row.BdpFc3, codes.TagHtn);
  // A row marked deleted still carries the codes but counts in no slot.
  bool counts = std::strcmp(row.BdpSts, "D") != 0;
  ChangeRowAndUpdateSlot(row, counts,
                         {Bdp_PKeyUpd, "Bdp_PKeyUpd()", "Fehler: Update BdpSatz(BdpBnr)"});
}

}  // namespace

int ProcessDayRequest(const PudRecord& request) {
  TagRecord codes = BlankCodes(request);
  const int marked = MarkOpenDayAndReadCodes(request, codes);
  if (db::SqlFault() != 0) return marked;  // the request is over; its fault is told
  BdpRecord row{};
  int status;
  while ((status = Bdp_PnrBszDmy_Read(row)) == 0) {
    SaveRowAndItsSlot(row, codes);
    if (db::SqlFault() != 0) break;
  }
  Bdp_PnrBszDmy_Close();
  if (status != 0 && status != db::status::kNoData) {
    ReportFailure("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", status);
  }
  return marked;
}
