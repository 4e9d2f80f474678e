#include "plan/day_request.h"

#include <cstring>

#include "common/text_field.h"
#include "db/bdp.h"
#include "db/runtime/status.h"
#include "db/tag.h"
#include "log/message_log.h"
#include "plan/slot_update.h"

namespace {

// The person's day codes; three blanks (no code) wherever they cannot be read.
TagRecord ReadDayCodes(const PudRecord& request) {
  TagRecord codes{};
  CopyField(codes.TagPnr, request.PudPnr);
  CopyField(codes.TagTag, request.PudDtm);
  CopyField(codes.TagTgb, "   ");
  CopyField(codes.TagHtv, "   ");
  CopyField(codes.TagHtn, "   ");
  int status = Read_UrlKrk_Tgb(codes);
  if (status != 0) LogError("Read_UrlKrk_Tgb()", "Fehler: Read Rvk327Tag", status);
  return codes;
}

void SaveRowWithDayCodes(BdpRecord& row, const TagRecord& codes) {
  CopyField(row.BdpFc1, codes.TagTgb);
  CopyField(row.BdpFc2, codes.TagHtv);
  CopyField(row.BdpFc3, codes.TagHtn);
  int status = Bdp_PKeyUpd(row);
  if (status != 0) LogError("Bdp_PKeyUpd()", "Fehler: Update BdpSatz(BdpBnr)", status);
}

}  // namespace

void ProcessDayRequest(const PudRecord& request) {
  const TagRecord codes = ReadDayCodes(request);
  BdpRecord row{};
  // A failed open shows as a failed first fetch.
  Bdp_PnrBszDmy_Open(request.PudPnr, request.PudDtm);
  int status;
  while ((status = Bdp_PnrBszDmy_Read(row)) == 0) {
    SaveRowWithDayCodes(row, codes);
    // A row marked deleted still carries the codes but counts in no slot.
    if (std::strcmp(row.BdpSts, "D") != 0) UpdateSlotOfRow(row);
  }
  Bdp_PnrBszDmy_Close();
  if (status != db::status::kNoData) LogError("Bdp_PnrBszDmy_Read", "Fehler Cursor Read", status);
}
