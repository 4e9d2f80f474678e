#include "plan/day_request.h"

#include <cstring>

#include "common/text_field.h"
#include "db/bdp.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/tag.h"
#include "log/message_log.h"
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

// The day's rows and the day codes do not depend on each other: they go out together, after
// what `reads` holds already. The opening goes first, as a series stops at its first failure:
// a day without codes then costs no second trip. A failed open shows as a failed first fetch,
// also when it met a fault; a change before them that met one is told by its owner.
void OpenDayAndReadCodes(const PudRecord& request, TagRecord& codes, db::SqlSeries& reads) {
  Bdp_PnrBszDmy_Open_Add(reads, request.PudPnr, request.PudDtm);
  Read_UrlKrk_Tgb_Add(reads, codes);
  int status = reads.Run();
  if (db::SqlFault() != 0) {
    if (status == 0) return;
    if (reads.Succeeded() == 0) {
      LogError("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", status);
      return;
    }
  } else if (reads.Succeeded() == 0) {
    status = Read_UrlKrk_Tgb(codes);
  }
  if (status != 0) LogError("Read_UrlKrk_Tgb()", "Fehler: Read Rvk327Tag", status);
}

void SaveRowAndItsSlot(BdpRecord& row, const TagRecord& codes) {
  CopyField(row.BdpFc1, codes.TagTgb);
  CopyField(row.BdpFc2, codes.TagHtv);
  CopyField(row.BdpFc3, codes.TagHtn);
  // A row marked deleted still carries the codes but counts in no slot.
  bool counts = std::strcmp(row.BdpSts, "D") != 0;
  ChangeRowAndUpdateSlot(row, counts,
                         {Bdp_PKeyUpd_Add, "Bdp_PKeyUpd()", "Fehler: Update BdpSatz(BdpBnr)"});
}

}  // namespace

void ProcessDayRequest(const PudRecord& request) {
  db::SqlSeries first;
  ProcessDayRequest(request, first);
}

void ProcessDayRequest(const PudRecord& request, db::SqlSeries& first) {
  TagRecord codes = BlankCodes(request);
  OpenDayAndReadCodes(request, codes, first);
  if (db::SqlFault() != 0) return;  // the request is over; its fault is told
  BdpRecord row{};
  int status;
  while ((status = Bdp_PnrBszDmy_Read(row)) == 0) {
    SaveRowAndItsSlot(row, codes);
    if (db::SqlFault() != 0) break;
  }
  Bdp_PnrBszDmy_Close();
  if (status != 0 && status != db::status::kNoData) {
    LogError("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", status);
  }
}
