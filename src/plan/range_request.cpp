#include "plan/range_request.h"

#include <cstring>

#include "db/bak.h"
#include "db/bdp.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"
#include "log/message_log.h"
#include "plan/slot_update.h"

namespace {

// Rows of status 'D' or 'O' take no part in any slot's tallies.
bool CountsInSlot(const BdpRecord& row) { return row.BdpSts[0] != 'D' && row.BdpSts[0] != 'O'; }

// The recount runs after the delete in the same transaction, so it sees the plan without the row.
void DeleteRowAndUpdateSlot(const BdpRecord& row) {
  ChangeRowAndUpdateSlot(row, CountsInSlot(row),
                         {Bdp_PKeyDel_Add, "Bdp_PKeyDel()", "Fehler: Satz loeschen"});
}

}  // namespace

void ProcessRangeRequest(const PudRecord& request) {
  db::SqlSeries first;
  ProcessRangeRequest(request, first);
}

void ProcessRangeRequest(const PudRecord& request, db::SqlSeries& first) {
  char followingDay[9] = "";
  char lastPlannedDate[9] = "";
  GetLastPlnDat_Add(first, request.PudPnr, lastPlannedDate);
  int status = first.Run();
  if (db::SqlFault() != 0 && status == 0) return;  // a change before it met a fault
  if (status != 0) {
    LogError("GetLastPlnDat()", "Fehler: Letztes Plandatum (Pnr) ermitteln", status);
    if (db::SqlFault() != 0) return;
  }
  // A day the calendar does not hold is the request date itself; a calendar that cannot be
  // read must not decide which rows go.
  status = Bak_Calc(2, 1, request.PudDtm, followingDay);
  if (db::status::IsFault(status)) {
    LogError("Bak_Calc()", "Fehler: Read Kalender", status);
    return;
  }
  // Nothing is planned after the request date (an unknown date is empty and sorts first).
  if (std::strcmp(lastPlannedDate, followingDay) < 0) return;

  BdpRecord row{};
  // A failed open shows as a failed first read.
  Bdp_PnrVonBis_Open(request.PudPnr, request.PudDtm, lastPlannedDate);
  while ((status = Bdp_PnrVonBis_Read(row)) == 0) {
    DeleteRowAndUpdateSlot(row);
    if (db::SqlFault() != 0) break;
  }
  Bdp_PnrVonBis_Close();
  if (status != 0 && status != db::status::kNoData) {
    LogError("Bdp_PnrVonBis_Read", "Fehler Cursor Read", status);
  }
}
