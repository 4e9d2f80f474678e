#include "run/request_loop.h"

#include "db/pud.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/work.h"
#include "log/message_log.h"
#include "plan/day_request.h"
#include "plan/range_request.h"
#include "run/stop_signal.h"

namespace {

constexpr int32_t kSingleDayRequest = 1;
constexpr int32_t kDateRangeRequest = 2;
constexpr int32_t kRequestDone = 3;

// Hands the request to the handler of its type; other types have none. The request's done
// mark goes out first, with the handler's first reads, so that it costs no round trip of its
// own; it is part of the request's transaction like everything the handler changes. Returns
// the mark's status.
int HandleRequest(PudRecord& request) {
  request.PudKng = kRequestDone;
  int marked = db::status::kOk;
  db::SqlSeries first;
  Pud_PKeyUpd_Add(first, request, marked);
  if (request.PudTyp == kSingleDayRequest) {
    ProcessDayRequest(request, first);
  } else if (request.PudTyp == kDateRangeRequest) {
    ProcessRangeRequest(request, first);
  }
  first.Run();  // sends the mark where no handler did
  return marked;
}

// A request is one transaction: its plan changes and its done mark become permanent together
// or not at all. Without the mark its changes are undone too, so that the next run, which
// finds it pending, does it once and whole. The mark's failure is told after whatever the
// handler told.
void FinishRequest(int marked) {
  if (marked != 0) {
    LogError("Pud_PKeyUpd", "Fehler PudSatz updaten", marked);
    Work_Rollback();
    return;
  }
  int status = Work_Commit();
  if (status != 0) {
    LogError("ProcessRequests()", "Fehler: Commit", status);
    Work_Rollback();
  }
}

bool IsError(int status) { return status != 0 && status != db::status::kNoData; }

}  // namespace

void ProcessRequests(const RunParameters& parameters) {
  WatchStopSignals();
  PudRecord request{};
  // A failed open shows as a failed first fetch.
  Pud_TSCur_Open(parameters.planGroup);
  int status = 0;
  while (StopSignal() == 0 && (status = Pud_TSCur_Read(request)) == 0) {
    FinishRequest(HandleRequest(request));
    request = PudRecord{};
  }
  Pud_TSCur_Close();
  if (IsError(status)) LogError("Pud_TSCur_Read", "Fehler Cursor Read", status);

  status = Pud_KngDel(parameters.planGroup, kRequestDone);
  if (IsError(status)) LogError("Pud_KngDel", "Fehler Saetze loeschen", status);

  // The requests not reached stay pending, untouched, for the next run.
  if (int signal = StopSignal()) LogError("ProcessRequests()", "Abbruch durch Signal", signal);
}
