#include "run/request_loop.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/stop_request.h"
#include "db/pud.h"
#include "db/status.h"
#include "db/status_kind.h"
#include "db/work.h"
#include "log/message_log.h"
#include "plan/day_request.h"
#include "plan/failure_report.h"
#include "plan/range_request.h"
#include "run/group_lock.h"
#include "run/reconnect.h"

namespace {

constexpr int32_t kSingleDayRequest = 1;
constexpr int32_t kDateRangeRequest = 2;
constexpr int32_t kRequestDone = 3;

// A database that refuses this many requests in a row will refuse the rest as well.
constexpr int kFaultsInARowToGiveUp = 5;

// Hands the request to its type's handler, which sends the done mark (part of the request's
// transaction) with its first reads, sparing it a round trip. Returns the mark's status.
int HandleRequest(PudRecord& request) {
  request.PudKng = kRequestDone;
  if (request.PudTyp == kSingleDayRequest) return ProcessDayRequest(request);
  if (request.PudTyp == kDateRangeRequest) return ProcessRangeRequest(request);
  return Pud_MarkDone(request);
}

// A request is one transaction: its changes and its done mark are kept together or not at all,
// so that the next run, finding it pending, does it once and whole. After a fault (reported
// where it failed) it is undone. Returns the fault that rolled it back, or 0; `committed`
// tells whether the request is done.
int FinishRequest(int marked, bool& committed) {
  committed = false;
  if (marked != 0) ReportFailure("Pud_PKeyUpd", "Fehler PudSatz updaten", marked);
  const int fault = Work_Fault();
  if (fault != 0 || marked != 0) {
    Work_Rollback();
    return fault;
  }
  int status = Work_Commit();
  committed = status == 0;
  if (status == 0) return db::status::kOk;
  ReportFailure("ProcessRequests()", "Fehler: Commit", status);
  Work_Rollback();
  return db::status::IsFault(status) ? status : db::status::kOk;
}

// Fetches the next request. A row whose values cannot be read is reported and passed over; it
// stays pending, so that each run reports it once until it is mended.
int NextRequest(PudRecord& request, long& skipped) {
  for (;;) {
    request = PudRecord{};
    int status = Pud_TSCur_Read(request);
    if (!db::status::IsUnreadableValue(status)) return status;
    ReportFailure("Pud_TSCur_Read", "Fehler Cursor Read", status);
    ++skipped;
  }
}

// A request as the queue knows it, so that one undone and then done again counts once.
std::string RequestKey(const PudRecord& request) {
  return std::string(request.PudDat) + "|" + request.PudPnr + "|" + request.PudDtm + "|" +
         std::to_string(request.PudTyp);
}

bool IsError(int status) { return status != 0 && status != db::status::kNoData; }

// The course of a run: the requests rolled back by faults, and why it may end early.
class RunCourse {
 public:
  // Takes the outcome of one request; a request rolled back for a lock or a deadlock is kept
  // to be tried once more after the rest of the queue.
  void Take(const PudRecord& request, int fault, bool committed, bool retrying) {
    if (committed) {
      ++done_;
      rolledBack_.erase(RequestKey(request));
    }
    if (fault == db::status::kOk) {
      faultsInARow_ = 0;
      return;
    }
    rolledBack_.insert(RequestKey(request));
    TakeFault(fault);
    if (!retrying && db::status::IsWorthRetrying(fault)) retries_.push_back(request);
  }
  // The unreadable rows of one reading of the queue; a queue read again after a reconnect
  // meets the same ones.
  void TakeSkipped(long skipped) { skipped_ = std::max(skipped_, skipped); }
  // A fault outside a request (the queue's read, the final delete). A connection found gone
  // counts as lost whatever the status that found it (a commit's lost work, say).
  void TakeFault(int fault) {
    if (!db::status::IsConnectionLost(fault) && Work_ConnectionLost()) {
      fault = db::status::kNotConnected;
    }
    lastFault_ = fault;
    ++faultsInARow_;
  }
  // On a new connection the queue, kept requests included, is read anew. The faults in a row go
  // on counting: a request that costs the connection every time must not reconnect for ever.
  void Resume() {
    lastFault_ = 0;
    retries_.clear();
  }
  bool Ending() const { return ConnectionLost() || GivingUp() || stop_request::Signal() != 0; }
  // Nothing is sent after a lost connection, so the last fault is the loss.
  bool ConnectionLost() const { return db::status::IsConnectionLost(lastFault_); }
  bool GivingUp() const { return faultsInARow_ >= kFaultsInARowToGiveUp; }
  int LastFault() const { return lastFault_; }
  std::vector<PudRecord> TakeRetries() { return std::move(retries_); }
  void Account(RunAccount& account) const {
    account.done = done_;
    account.rolledBack = static_cast<long>(rolledBack_.size());
    account.skipped = skipped_;
  }

 private:
  long done_ = 0;
  long skipped_ = 0;
  std::set<std::string> rolledBack_;
  int faultsInARow_ = 0;
  int lastFault_ = 0;
  std::vector<PudRecord> retries_;
};

void WorkOff(PudRecord request, RunCourse& course, bool retrying, RunAccount& account) {
  bool committed = false;
  int fault = FinishRequest(HandleRequest(request), committed);
  course.Take(request, fault, committed, retrying);
  std::lock_guard<std::mutex> lock(RunAccountLock());
  course.Account(account);
}

// Works the group's pending requests off, oldest first, then once more those rolled back for a
// lock or a deadlock.
void WorkOffQueue(const RunParameters& parameters, RunCourse& course, RunAccount& account) {
  PudRecord request{};
  // A failed open shows as a failed first fetch.
  Pud_TSCur_Open(parameters.planGroup);
  int status = 0;
  long skipped = 0;
  while (!course.Ending() && (status = NextRequest(request, skipped)) == 0) {
    WorkOff(request, course, false, account);
  }
  Pud_TSCur_Close();
  course.TakeSkipped(skipped);
  if (IsError(status)) {
    ReportFailure("Pud_TSCur_Read", "Fehler Cursor Read", status);
    Work_Rollback();  // a fault at the fetch leaves nothing pending behind it
    if (db::status::IsFault(status)) course.TakeFault(status);
  }
  for (const PudRecord& again : course.TakeRetries()) {
    if (course.Ending()) break;
    WorkOff(again, course, true, account);
  }
}

// Deletes the group's finished requests; false when the connection was lost on the way.
bool DeleteFinished(const RunParameters& parameters, RunCourse& course) {
  int status = Pud_KngDel(parameters.planGroup, kRequestDone);
  if (IsError(status)) ReportFailure("Pud_KngDel", "Fehler Saetze loeschen", status);
  if (db::status::IsFault(status)) course.TakeFault(status);
  return !course.ConnectionLost();
}

}  // namespace

std::mutex& RunAccountLock() {
  static std::mutex lock;
  return lock;
}

// A lost connection (a server gone, a failover) costs a pause, not the run: the request at hand
// went with its transaction and is still pending, so the queue is read anew on a new connection.
void ProcessRequests(const RunParameters& parameters, RunAccount& account) {
  RunCourse course;
  // How the loop ended, told under the lock as the counts are.
  auto settle = [&](RunAccount::End end, int status) {
    std::lock_guard<std::mutex> lock(RunAccountLock());
    course.Account(account);
    account.end = end;
    account.status = status;
  };
  settle(RunAccount::End::kQueueDone, 0);
  for (;;) {
    WorkOffQueue(parameters, course, account);
    if (!course.ConnectionLost()) {
      if (course.GivingUp()) {
        LogError("ProcessRequests()", "Abbruch: wiederholte DB-Fehler", course.LastFault());
        settle(RunAccount::End::kRepeatedFaults, course.LastFault());
      }
      if (DeleteFinished(parameters, course)) break;
    }
    // Nothing more can be sent; the requests not done stay pending for the next run. The new
    // session does not hold the group's lock yet, and another run may have taken it meanwhile.
    if (stop_request::Signal() != 0 || course.GivingUp() || !Reconnect(course.LastFault()) ||
        RetakeGroupLock() != GroupLockResult::kHeld) {
      LogError("ProcessRequests()", "Abbruch: Verbindung verloren", course.LastFault());
      // A connection closed for a stop (a server that took no cancel) ended by the stop.
      if (int signal = stop_request::Signal()) {
        settle(RunAccount::End::kSignal, signal);
      } else {
        settle(RunAccount::End::kConnectionLost, course.LastFault());
      }
      return;
    }
    {
      std::lock_guard<std::mutex> lock(RunAccountLock());
      ++account.reconnects;
    }
    course.Resume();
  }

  // The requests not reached stay pending, untouched, for the next run.
  if (int signal = stop_request::Signal()) {
    LogError("ProcessRequests()", "Abbruch durch Signal", signal);
    settle(RunAccount::End::kSignal, signal);
  } else {
    settle(account.end, account.status);
  }
}
