#include "run/main_entry.h"

#include <ctime>
#include <mutex>
#include <string>

#include "common/run_end.h"
#include "common/stop_request.h"
#include "config/startup_values.h"
#include "db/connect.h"
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
#include "run/stop_deadline.h"

namespace {

constexpr int kMinimumArgumentCount = 9;
constexpr int32_t kLogMask = DMSG | SMSG | FMSG;
constexpr int32_t kUpdateJob = 4;

// Read by the request loop and the deviation rows for the whole run.
RunParameters g_runParameters;

void TakeAccount(RunReport& report, const RunAccount& account) {
  report.done = account.done;
  report.rolledBack = account.rolledBack;
  report.skipped = account.skipped;
  report.reconnects = account.reconnects;
}

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
    if (account != nullptr) TakeAccount(report_, *account);
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

// What a run says when a watcher ends it while a driver call still holds its thread: after a
// stop, or when a driver answers neither a statement nor its cancel.
void LastWords(int status, bool stopped) {
  if (stopped) {
    LogError("ProcessRequests()", "Abbruch durch Signal", status);
  } else {
    LogError("ProcessRequests()", "Abbruch: Verbindung verloren", status);
  }
  std::lock_guard<std::mutex> lock(g_runMutex);
  if (g_run == nullptr) return;
  RunAccount account;
  {
    std::lock_guard<std::mutex> accountLock(RunAccountLock());
    account = g_account;
  }
  g_run->End(stopped ? "signal" : "connection lost", status, &account);
}

int ConnectOnce(const void* context) {
  const auto& values = *static_cast<const StartupValues*>(context);
  return dbConnect(values.user, values.password, values.netService, values.schema);
}

// Connects, riding out a server that is not there yet as a lost connection is ridden out;
// logs a connect that fails for good. Returns its status.
int Connect(const StartupValues& values, RunReport& report) {
  int status = ConnectRidingOutAbsence(ConnectOnce, &values, report.connectTries);
  if (status != 0) LogError("dbConnect", "Fehlerhafter Connect mit der DB ", 0);
  return status;
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
      LogError("ProcessRequests()", "Abbruch durch Signal", stop_request::Signal());
      run.End("signal", stop_request::Signal());
      return false;
    case GroupLockResult::kConnectionLost: break;
  }
  LogError("ProcessRequests()", "Abbruch: Verbindung verloren", db::status::kNotConnected);
  run.End("connection lost", db::status::kNotConnected);
  return false;
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
  int connected = Connect(values, run.Report());
  WipeStartupValues(values);
  if (connected != 0) {
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
  RunAccount account;
  {
    std::lock_guard<std::mutex> lock(RunAccountLock());
    account = g_account;
  }
  if (account.end != RunAccount::End::kConnectionLost) CountPending(run.Report());
  run.End(EndedBy(account.end), account.status, &account);
  return 0;
}
