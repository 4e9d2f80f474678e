#include "run/request_loop.h"

#include <vector>

#include "db/pud.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"
#include "db/work.h"
#include "log/message_log.h"
#include "plan/day_request.h"
#include "plan/range_request.h"
#include "run/stop_signal.h"

namespace {

constexpr int32_t kSingleDayRequest = 1;
constexpr int32_t kDateRangeRequest = 2;
constexpr int32_t kRequestDone = 3;

// A database that refuses this many requests in a row will refuse the rest as well.
constexpr int kFaultsInARowToGiveUp = 5;

// Hands the request to the handler of its type, which sends the request's done mark with its
// first reads, so that the mark costs no round trip of its own; a request of another type has
// no handler, and its mark goes out alone. The mark is part of the request's transaction like
// everything the handler changes. Returns the mark's status.
int HandleRequest(PudRecord& request) {
  request.PudKng = kRequestDone;
  if (request.PudTyp == kSingleDayRequest) return ProcessDayRequest(request);
  if (request.PudTyp == kDateRangeRequest) return ProcessRangeRequest(request);
  return db::SqlChangeAlone(Pud_PKeyUpd, request);
}

// A request is one transaction: its plan changes and its done mark become permanent together
// or not at all. Without the mark its changes are undone too, so that the next run, which
// finds it pending, does it once and whole; so are they after a fault, whose statement has
// been reported where it failed. The mark's failure is told after whatever the handler told.
// Returns the fault that rolled the request back, or 0.
int FinishRequest(int marked) {
  if (marked != 0) LogError("Pud_PKeyUpd", "Fehler PudSatz updaten", marked);
  const int fault = db::SqlFault();
  if (fault != 0 || marked != 0) {
    Work_Rollback();
    return fault;
  }
  int status = Work_Commit();
  if (status == 0) return db::status::kOk;
  LogError("ProcessRequests()", "Fehler: Commit", status);
  Work_Rollback();
  return db::status::IsFault(status) ? status : db::status::kOk;
}

// Fetches the next request. A row whose values cannot be read is reported and passed over; it
// stays pending, so that each run reports it once until it is mended.
int NextRequest(PudRecord& request) {
  for (;;) {
    request = PudRecord{};
    int status = Pud_TSCur_Read(request);
    if (!db::status::IsUnreadableValue(status)) return status;
    LogError("Pud_TSCur_Read", "Fehler Cursor Read", status);
  }
}

bool IsError(int status) { return status != 0 && status != db::status::kNoData; }

// The course of a run: the requests rolled back by faults, and why it may end early.
class RunCourse {
 public:
  // Takes the outcome of one request; a request rolled back for a lock or a deadlock is kept
  // to be tried once more after the rest of the queue.
  void Take(const PudRecord& request, int fault, bool retrying) {
    if (fault == db::status::kOk) {
      faultsInARow_ = 0;
      return;
    }
    lastFault_ = fault;
    ++faultsInARow_;
    if (!retrying && db::status::IsWorthRetrying(fault)) retries_.push_back(request);
  }
  bool Ending() const { return ConnectionLost() || GivingUp() || StopSignal() != 0; }
  // Nothing is sent after a lost connection, so the last fault is the loss.
  bool ConnectionLost() const { return db::status::IsConnectionLost(lastFault_); }
  bool GivingUp() const { return faultsInARow_ >= kFaultsInARowToGiveUp; }
  int LastFault() const { return lastFault_; }
  std::vector<PudRecord> TakeRetries() { return std::move(retries_); }

 private:
  int faultsInARow_ = 0;
  int lastFault_ = 0;
  std::vector<PudRecord> retries_;
};

void WorkOff(PudRecord request, RunCourse& course, bool retrying) {
  int fault = FinishRequest(HandleRequest(request));
  course.Take(request, fault, retrying);
}

}  // namespace

void ProcessRequests(const RunParameters& parameters) {
  WatchStopSignals();
  RunCourse course;
  PudRecord request{};
  // A failed open shows as a failed first fetch.
  Pud_TSCur_Open(parameters.planGroup);
  int status = 0;
  while (!course.Ending() && (status = NextRequest(request)) == 0) {
    WorkOff(request, course, false);
  }
  Pud_TSCur_Close();
  if (IsError(status)) {
    LogError("Pud_TSCur_Read", "Fehler Cursor Read", status);
    Work_Rollback();  // a fault at the fetch leaves nothing pending behind it
  }
  for (const PudRecord& again : course.TakeRetries()) {
    if (course.Ending()) break;
    WorkOff(again, course, true);
  }

  // Nothing more can be sent; the requests not done stay pending for the next run.
  if (course.ConnectionLost()) {
    LogError("ProcessRequests()", "Abbruch: Verbindung verloren", course.LastFault());
    return;
  }
  if (course.GivingUp()) {
    LogError("ProcessRequests()", "Abbruch: wiederholte DB-Fehler", course.LastFault());
  }
  status = Pud_KngDel(parameters.planGroup, kRequestDone);
  if (IsError(status)) LogError("Pud_KngDel", "Fehler Saetze loeschen", status);

  // The requests not reached stay pending, untouched, for the next run.
  if (int signal = StopSignal()) LogError("ProcessRequests()", "Abbruch durch Signal", signal);
}
