#include "plan/range_request.h"

#include <cstring>

#include "db/bak.h"
#include "db/bdp.h"
#include "db/status.h"
#include "db/status_kind.h"
#include "db/work.h"
#include "plan/failure_report.h"
#include "plan/recount.h"

namespace {

// Rows of status 'D' or 'O' take no part in any slot's tallies.
bool CountsInSlot(const BdpRecord& row) { return row.BdpSts[0] != 'D' && row.BdpSts[0] != 'O'; }

// The recount runs after the delete in the same transaction, so it sees the plan without the row.
void DeleteRowAndUpdateSlot(const BdpRecord& row) {
  ChangeRowAndUpdateSlot(row, CountsInSlot(row),
                         {RowChangeKind::Delete, "Bdp_PKeyDel()", "Fehler: Satz loeschen"});
}

// The done mark and the person's last planned date do not depend on each other: they go out
// together. Returns the mark's status; a fault it met is told by its owner.
int MarkAndFindLastDate(const PudRecord& request, char (&lastPlannedDate)[9]) {
  const LastDateLookup first = Bdp_MarkAndFindLastDate(request, lastPlannedDate);
  if (db::status::IsFault(first.marked)) return first.marked;  // nothing after it went out
  if (first.found != 0) {
    ReportFailure("GetLastPlnDat()", "Fehler: Letztes Plandatum (Pnr) ermitteln", first.found);
  }
  return first.marked;
}

// Deletes the person's rows from the request date through the last planned date.
void DeleteRows(const PudRecord& request, const char* lastPlannedDate) {
  BdpRecord row{};
  int status;
  // A failed open shows as a failed first read.
  Bdp_PnrVonBis_Open(request.PudPnr, request.PudDtm, lastPlannedDate);
  while ((status = Bdp_PnrVonBis_Read(row)) == 0) {
    DeleteRowAndUpdateSlot(row);
    if (Work_Fault() != 0) break;
  }
  Bdp_PnrVonBis_Close();
  if (status != 0 && status != db::status::kNoData) {
    ReportFailure("Bdp_PnrVonBis_Read", "Fehler Cursor Read", status);
  }
}

}  // namespace

int ProcessRangeRequest(const PudRecord& request) {
  char followingDay[9] = "";
  char lastPlannedDate[9] = "";
  const int marked = MarkAndFindLastDate(request, lastPlannedDate);
  if (Work_Fault() != 0) return marked;  // the request is over; its fault is told
  // A day the calendar does not hold is the request date itself; a calendar that cannot be
  // read must not decide which rows go.
  int status = Bak_Calc(2, 1, request.PudDtm, followingDay);
  if (db::status::IsFault(status)) {
    ReportFailure("Bak_Calc()", "Fehler: Read Kalender", status);
    return marked;
  }
  // Nothing is planned after the request date (an unknown date is empty and sorts first).
  if (std::strcmp(lastPlannedDate, followingDay) >= 0) DeleteRows(request, lastPlannedDate);
  return marked;
}
