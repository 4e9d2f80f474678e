#include "run/main_entry.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "common/run_end.h"
#include "common/stop_request.h"
#include "config/startup_values.h"
#include "db/pud.h"
#include "db/status.h"
#include "log/message_log.h"
#include "plan/recount.h"
#include "platform/process_state.h"
#include "platform/stop_request_source.h"
#include "run/group_lock.h"
#include "run/reconnect.h"
#include "run/request_loop.h"
#include "run/run_parameters.h"
#include "run/run_report.h"

namespace {

constexpr int kMinimumArgumentCount = 9;
constexpr int32_t kLogMask = DMSG | SMSG | FMSG;
constexpr int32_t kUpdateJob = 4;
// Past the cancel (5 s) and the close of a connection that took none (10 s), with room for
// the run's own wind-down.
constexpr double kEndAfterStopSeconds = 14.0;

// Read by the request loop and the deviation rows for the whole run.
RunParameters g_runParameters;

// The run's report, written when the run has its group and again at its end.
class ReportedRun {
 public:
  ReportedRun(const char* schema, const char* groupArgument)
      : path_(RunReportFileName(schema, ReportedGroup(groupArgument).c_str())) {
    report_.pid = platform::CurrentProcessId();
    report_.host = platform::HostName();
    report_.version = std::string(KESTRUMEL_VERSION);  // a move: GCC 12 -O3 misreads the copy
    report_.schema = schema;
    report_.group = ReportedGroup(groupArgument);
    report_.started = std::time(nullptr);
  }
  RunReport& Report() { return report_; }
  const std::string& Path() const { return path_; }
  // A report nobody can write (no log folder) leaves the run as it is.
  void Running() {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteRunReport(path_, report_);
  }
  // Once: the run's own end and the stop deadline's last words may meet.
  void End(const char* endedBy, int status, const RunAccount* account = nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (report_.ended) return;
    if (account != nullptr) {
      report_.done = account->done;
      report_.rolledBack = account->rolledBack;
      report_.skipped = account->skipped;
      report_.reconnects = account->reconnects;
    }
    report_.ended = true;
    report_.endedAt = std::time(nullptr);
    report_.endedBy = endedBy;
    report_.status = status;
    report_.entries = LogEntriesWritten();
    report_.entriesLost = LogEntriesLost();
    WriteRunReport(path_, report_);
  }

 private:
  std::mutex mutex_;
  std::string path_;
  RunReport report_;
};

// The run's report and account, for the last words of a run that a stop's deadline ends.
std::mutex g_runMutex;
ReportedRun* g_run = nullptr;
RunAccount g_account;

RunAccount AccountSoFar() {
  std::lock_guard<std::mutex> lock(RunAccountLock());
  return g_account;
}

// Makes the run's report known to the last words for as long as it lives.
class LastWordsFor {
 public:
  explicit LastWordsFor(ReportedRun& run) {
    std::lock_guard<std::mutex> lock(g_runMutex);
    g_run = &run;
  }
  ~LastWordsFor() {
    std::lock_guard<std::mutex> lock(g_runMutex);
    g_run = nullptr;
  }
  LastWordsFor(const LastWordsFor&) = delete;
  LastWordsFor& operator=(const LastWordsFor&) = delete;
};

// The entry and the report of a run that a stop or a lost connection ends.
void EndStoppedOrLost(bool stopped, int status, ReportedRun* run, const RunAccount* account = nullptr) {
  LogError("ProcessRequests()", stopped ? "Abbruch durch Signal" : "Abbruch: Verbindung verloren",
           status);
  if (run != nullptr) run->End(stopped ? "signal" : "connection lost", status, account);
}

// What a run says when a watcher ends it while a driver call still holds its thread: after a
// stop, or when a driver answers neither a statement nor its cancel.
void LastWords(int status, bool stopped) {
  std::lock_guard<std::mutex> lock(g_runMutex);
  RunAccount account = AccountSoFar();
  EndStoppedOrLost(stopped, status, g_run, &account);
}

const char* EndedBy(RunAccount::End end) {
  switch (end) {
    case RunAccount::End::kQueueDone: return "queue done";
    case RunAccount::End::kConnectionLost: return "connection lost";
    case RunAccount::End::kRepeatedFaults: return "repeated faults";
    case RunAccount::End::kSignal: return "signal";
  }
  return "queue done";
}

// The group's pending requests, while a connection is left to count them.
void CountPending(RunReport& report) {
  int32_t pending = 0;
  if (Pud_PendingCount(g_runParameters.planGroup, pending) == 0) report.pending = pending;
}

// Waits for the group's lock; false (after logging and reporting) when the run ends instead.
bool HoldGroup(ReportedRun& run) {
  std::string lockFile = run.Path().substr(0, run.Path().size() - 5) + ".lock";
  switch (TakeGroupLock(run.Report().schema, run.Report().group, lockFile)) {
    case GroupLockResult::kHeld: return true;
    case GroupLockResult::kBusy:
      LogError("Main()", "Abbruch: Planungsgruppe wird bereits bearbeitet",
               db::status::kResourceBusy);
      CountPending(run.Report());
      run.End("group busy", db::status::kResourceBusy);
      return false;
    case GroupLockResult::kStopped:
      EndStoppedOrLost(true, stop_request::Signal(), &run);
      return false;
    case GroupLockResult::kConnectionLost: break;
  }
  EndStoppedOrLost(false, db::status::kNotConnected, &run);
  return false;
}

// A stop is answered within 15 s whatever a driver does: past the deadline a thread of its own
// ends a run that a driver call holds (an ODBC server that takes no cancel), as run_end.h says.
void WatchStopDeadline() {
  std::thread([] {
    while (stop_request::SecondsSince() < kEndAfterStopSeconds) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    run_end::Now(stop_request::Signal(), true);
  }).detach();
}

}  // namespace

int Main(int argc, char** argv) {
  ClearClientEnvironment();
  platform::CatchStopRequests();  // SIGTERM and SIGINT end the run between requests
  StartupValues values;
  ReadStartupValues(argc > 1 ? argv[1] : nullptr, values);
  // Lives as long as the run, whatever the log keeps of it.
  std::string logFileName = LogFileName(values.schema);
  SetLogFile(kLogMask, logFileName.c_str());
  ReportedRun run(values.schema, argc >= kMinimumArgumentCount ? argv[8] : nullptr);
  LastWordsFor lastWords(run);
  run_end::lastWords = LastWords;
  static const bool watching = (WatchStopDeadline(), true);
  (void)watching;
  // A server that is not there yet is ridden out as a lost connection is.
  int connected = ConnectRidingOutAbsence(values, run.Report().connectTries);
  WipeStartupValues(values);
  if (connected != 0) {
    LogError("dbConnect", "Fehlerhafter Connect mit der DB ", 0);
    run.End("connect failed", connected);
    return 0;
  }

  if (argc < kMinimumArgumentCount) {
    LogError("Main()", "Mindestanzahl Parameter(9) unterschritten", argc);
    run.End("too few arguments", 0);
    return 0;
  }
  ParseRunParameters(argc, argv, g_runParameters);
  Err_Init(g_runParameters.planGroup, RunErrRecord(), g_runParameters.erfText,
           g_runParameters.jbdText, g_runParameters.jbkText, kUpdateJob);
  if (!HoldGroup(run)) return 0;
  run.Running();
  ProcessRequests(g_runParameters, g_account);
  RunAccount account = AccountSoFar();
  if (account.end != RunAccount::End::kConnectionLost) CountPending(run.Report());
  run.End(EndedBy(account.end), account.status, &account);
  return 0;
}
