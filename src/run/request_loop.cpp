#include "run/request_loop.h"

#include "db/pud.h"
#include "db/runtime/status.h"
#include "log/message_log.h"
#include "plan/day_request.h"
#include "plan/range_request.h"

namespace {

constexpr int32_t kSingleDayRequest = 1;
constexpr int32_t kDateRangeRequest = 2;
constexpr int32_t kRequestDone = 3;

// Hands the request to the handler of its type; other types have none.
void HandleRequest(const PudRecord& request) {
  if (request.PudTyp == kSingleDayRequest) {
    ProcessDayRequest(request);
  } else if (request.PudTyp == kDateRangeRequest) {
    ProcessRangeRequest(request);
  }
}

// Marks the request done. The write-back is committed by the next commit of the run, so a
// request whose write-back fails stays pending for the next run.
void MarkDone(PudRecord& request) {
  request.PudKng = kRequestDone;
  int status = Pud_PKeyUpd(request);
  if (status != 0) LogError("Pud_PKeyUpd", "Fehler PudSatz updaten", status);
}

bool IsError(int status) { return status != 0 && status != db::status::kNoData; }

}  // namespace

void ProcessRequests(const RunParameters& parameters) {
  PudRecord request{};
  // A failed open shows as a failed first fetch.
  Pud_TSCur_Open(parameters.planGroup);
  int status = 0;
  while ((status = Pud_TSCur_Read(request)) == 0) {
    HandleRequest(request);
    MarkDone(request);
    request = PudRecord{};
  }
  Pud_TSCur_Close();
  if (IsError(status)) LogError("Pud_TSCur_Read", "Fehler Cursor Read", status);

  status = Pud_KngDel(parameters.planGroup, kRequestDone);
  if (IsError(status)) LogError("Pud_KngDel", "Fehler Saetze loeschen", status);
}
