// Faults of the database or the machine during a run never become permanent: the request that
// met one is undone whole and stays pending, a lost session or a stop signal ends the run, and
// once the fault is gone the next run ends as one undisturbed run does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/backend_test.h"
#include "common/process.h"
#include "common/program_run.h"
#include "common/test_db.h"
#include "db/runtime/fault_seam.h"
#include "platform/log_file.h"
#include "run/log_expectations.h"
#include "run/plan_tree.h"

namespace {

using run_tests::Describe;
using run_tests::ExpectQuietSuccess;
using run_tests::NormalDoneMarks;
using run_tests::Outcome;
using run_tests::PlanShape;
using run_tests::ReportField;
using run_tests::SlowDoneMarks;
using run_tests::Snapshot;
using run_tests::Tree;
using run_tests::WaitUntilWaitingForALock;
using testing_db::Backend;
using testing_db::TestDb;
using testing_run::LogRecord;
using testing_run::ParsedLog;

using namespace std::chrono_literals;

constexpr const char* kGroup = "PLG01";
constexpr const char* kOtherGroup = "PLG02";
constexpr int kRequests = 40;
// Past the program's lock timeout of 10 s, and no longer.
constexpr auto kLockHeld = 12s;
constexpr auto kStopWithin = 15s;

constexpr int kLockNotObtained = -54;
constexpr int kCancelled = -1013;
constexpr int kDiskFull = -1653;

std::string Text(const LogRecord& entry) {
  return entry.func + "|" + entry.message + "|" + std::to_string(entry.code);
}

long CountEntries(const ParsedLog& log, const std::string& message) {
  return static_cast<long>(
      std::count_if(log.entries.begin(), log.entries.end(),
                    [&](const LogRecord& entry) { return entry.message == message; }));
}

// Requests met by a fault leave one entry each; what was not reached leaves none.
void ExpectAtMostOneEntryPerPendingRequest(const Tree& tree, const ParsedLog& log) {
  long requestEntries = static_cast<long>(
      std::count_if(log.entries.begin(), log.entries.end(),
                    [](const LogRecord& entry) { return entry.func != "ProcessRequests()"; }));
  EXPECT_LE(requestEntries, tree.Pending()) << Describe(log);
}

// Monitoring's verdict on a run as its report gives it: 0 clean, 1 with requests left, 2 ended
// early or killed, 3 no report.
int VerdictOf(const std::string& report) {
  if (report.empty()) return 3;
  if (ReportField(report, "state") != "ended" || ReportField(report, "ended_by") != "queue done") {
    return 2;
  }
  bool clean = ReportField(report, "rolled_back") == "0" && ReportField(report, "skipped") == "0" &&
               ReportField(report, "pending") == "0";
  return clean ? 0 : 1;
}

// The run's report tells what the run did, as the tables and the log show it, and the status
// command reads it so. `rolledBack` < 0: not asserted.
void ExpectReportOfTheRun(const Tree& tree, const std::string& endedBy, long rolledBack) {
  const std::string report = tree.Report(kGroup);
  EXPECT_EQ(ReportField(report, "state"), "ended") << report;
  EXPECT_EQ(ReportField(report, "ended_by"), endedBy) << report;
  // A stopped run may not wait for a count any more.
  const std::string pending = ReportField(report, "pending");
  if (!(endedBy == "signal" && pending == "null")) {
    EXPECT_EQ(pending, std::to_string(tree.Pending())) << report;
  }
  EXPECT_EQ(ReportField(report, "done"), std::to_string(kRequests - tree.Pending())) << report;
  if (rolledBack >= 0) {
    EXPECT_EQ(ReportField(report, "rolled_back"), std::to_string(rolledBack)) << report;
  }
  EXPECT_EQ(ReportField(report, "entries"), std::to_string(tree.Log().entries.size())) << report;
  EXPECT_EQ(ReportField(report, "entries_lost"), "0") << report;
  EXPECT_EQ(tree.Status(kGroup).exitStatus, VerdictOf(report)) << report;
}

class FaultTest : public testing::TestWithParam<Backend> {
 protected:
  static PlanShape Shape(const std::string& group = kGroup, int first = 0,
                         int requests = kRequests) {
    PlanShape shape{group, first, requests};
    shape.targetsMissedAlike = true;
    return shape;
  }

  bool OnPostgresServer() const { return GetParam() != Backend::Sqlite; }

  Tree NewTree(const PlanShape& shape = Shape()) {
    Tree tree = Tree::Generate(GetParam(), shape);
    if (tree.db == nullptr) ADD_FAILURE() << "no test database";
    return tree;
  }

  // The result of the undisturbed run of `shape`.
  Outcome Reference(const PlanShape& shape = Shape()) {
    Tree reference = NewTree(shape);
    if (reference.db == nullptr) return {};
    EXPECT_EQ(reference.Status(shape.group).exitStatus, 3) << "no report yet";
    ExpectQuietSuccess(reference.RunWhole(shape.group));
    if (shape.requests == kRequests && !shape.firstWithoutDayCodes) {
      ExpectReportOfTheRun(reference, "queue done", 0);
      EXPECT_EQ(reference.Status(shape.group).exitStatus, 0);
    }
    Outcome outcome = Snapshot(*reference.db);
    EXPECT_TRUE(outcome.queue.empty());
    EXPECT_FALSE(outcome.deviations.empty()) << "every recount should record a deviation";
    return outcome;
  }

  void ExpectRerunLikeWhole(const Tree& tree, const Outcome& expected, const std::string& what) {
    run_tests::ExpectRerunCompletesLikeAWholeRun(tree, kGroup, GetParam(), expected, what);
  }

  // On SQLite the database's write lock, else the staffing row of the first request that
  // recounts one.
  std::unique_ptr<TestDb::HeldTransaction> HoldWhatTheQueueNeeds(TestDb& db) {
    if (GetParam() == Backend::Sqlite) return db.Hold("");
    testing_db::Rows slot = db.Query(
        "select b.BdpBdt, b.BdpEso, b.BdpEsa, b.BdpSzv, b.BdpAsw from Rvk740Pud p, Rvk730Bdp b "
        "where b.BdpPnr=p.PudPnr and b.BdpBdt=p.PudDtm and p.PudTyp=1 and b.BdpSts='P' "
        "order by p.PudDat");
    if (slot.empty()) {
      ADD_FAILURE() << "no request recounts a slot";
      return nullptr;
    }
    const auto& key = slot.front();
    return db.Hold("select BsmIst from Rvk725Bsm where BsmBdt='" + *key[0] + "' and BsmEso='" +
                   *key[1] + "' and BsmEsa='" + *key[2] + "' and BsmSzv=" + *key[3] +
                   " and BsmAsw=" + *key[4] + " for update");
  }
};

// The request that waited past the lock timeout is undone and tried once more after the rest
// of the queue; nothing else is lost.
TEST_P(FaultTest, LockHeldPastTheTimeoutCostsOnlyThatRequest) {
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  auto held = HoldWhatTheQueueNeeds(*tree.db);
  ASSERT_NE(held, nullptr);
  auto program = tree.Start(kGroup);
  std::this_thread::sleep_for(kLockHeld);
  held.reset();
  ExpectQuietSuccess(program->Wait());

  ParsedLog log = tree.Log();
  ASSERT_TRUE(log.whole) << Describe(log);
  // Once, and once more if the lock was still held when it was tried again.
  EXPECT_GE(log.entries.size(), 1u) << Describe(log);
  EXPECT_LE(log.entries.size(), 2u) << Describe(log);
  for (const LogRecord& entry : log.entries) EXPECT_EQ(entry.code, kLockNotObtained) << Text(entry);
  EXPECT_LE(tree.Pending(), 1);
  ExpectReportOfTheRun(tree, "queue done", tree.Pending());
  ExpectRerunLikeWhole(tree, expected, "after the lock");
}

// Two planning groups recounting the same slots at once: after both are run again, as if
// one had run after the other.
TEST_P(FaultTest, TwoGroupsOnTheSameSlotsEndAsIfOneRanAfterTheOther) {
  PlanShape first = Shape(kGroup, 0, 30);
  PlanShape second = Shape(kOtherGroup, 30, 30);
  auto makeTree = [&] {
    Tree tree = NewTree(first);
    if (tree.db != nullptr) run_tests::AddRequests(*tree.db, second);
    return tree;
  };
  Tree reference = makeTree();
  ASSERT_NE(reference.db, nullptr);
  ExpectQuietSuccess(reference.RunWhole(kGroup));
  ExpectQuietSuccess(reference.RunWhole(kOtherGroup));
  Outcome expected = Snapshot(*reference.db);
  ASSERT_TRUE(expected.queue.empty());

  for (int round = 1; round <= 3 && !HasFailure(); ++round) {
    std::string what = "round " + std::to_string(round);
    Tree tree = makeTree();
    ASSERT_NE(tree.db, nullptr);
    {
      auto one = tree.Start(kGroup);
      auto other = tree.Start(kOtherGroup);
      ExpectQuietSuccess(one->Wait());
      ExpectQuietSuccess(other->Wait());
    }
    ParsedLog log = tree.Log();
    ASSERT_TRUE(log.whole) << what << Describe(log);
    // Only what two runs can do to each other: wait too long, deadlock, fail to serialize.
    for (const LogRecord& entry : log.entries) {
      EXPECT_TRUE(entry.code == -54 || entry.code == -60 || entry.code == -8177)
          << what << ": " << Text(entry);
    }
    ExpectQuietSuccess(tree.RunWhole(kGroup));
    ExpectQuietSuccess(tree.RunWhole(kOtherGroup));
    EXPECT_TRUE(Snapshot(*tree.db) == expected) << what << Describe(tree.Log());
  }
}

// Every request cancelled by the statement timeout: five of them, then the run gives up.
TEST_P(FaultTest, StatementTimeoutOnEveryRequestEndsTheRunAfterFive) {
  if (!OnPostgresServer()) GTEST_SKIP() << "SQLite has no statement timeout";
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  std::string database = *tree.db->Scalar("select current_database()");
  SlowDoneMarks(*tree.db, 0.5);
  tree.db->Exec("ALTER DATABASE " + database + " SET statement_timeout = '100ms'");
  ExpectQuietSuccess(tree.RunWhole(kGroup));

  ParsedLog log = tree.Log();
  ASSERT_TRUE(log.whole && log.entries.size() == 6) << Describe(log);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(log.entries[i].code, kCancelled) << Describe(log);
  EXPECT_EQ(Text(log.entries.back()),
            "ProcessRequests()|Abbruch: wiederholte DB-Fehler|" + std::to_string(kCancelled));
  EXPECT_EQ(tree.Pending(), kRequests);
  ExpectReportOfTheRun(tree, "repeated faults", 5);
  EXPECT_EQ(ReportField(tree.Report(kGroup), "status"), std::to_string(kCancelled));

  tree.db->Exec("ALTER DATABASE " + database + " RESET statement_timeout");
  NormalDoneMarks(*tree.db);
  ExpectRerunLikeWhole(tree, expected, "after the timeout");
}

// The disk full at the third deviation row: that request is undone and stays pending.
TEST_P(FaultTest, FullDiskUndoesTheRequestThatMetIt) {
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  ExpectQuietSuccess(testing_run::RunMainInChild(
      tree.dir->RunPath(), testing_run::CommandLine(tree.dir->ConfigPath(), kGroup),
      testing_run::ChildFault{db::FaultOp::Execute, "insert into Rvk746Err", 3, kDiskFull}));

  ParsedLog log = tree.Log();
  EXPECT_EQ(tree.Pending(), 1);
  ASSERT_TRUE(log.whole && log.entries.size() == 1) << Describe(log);
  EXPECT_EQ(Text(log.entries[0]), "Err_Insert()|Fehler Insert|" + std::to_string(kDiskFull));
  ExpectReportOfTheRun(tree, "queue done", 1);
  ExpectRerunLikeWhole(tree, expected, "after the full disk");
}

// The server ends the program's session: the run connects again, logs that once and finishes
// the queue as a whole run would have.
TEST_P(FaultTest, LostSessionIsResumedOnANewConnection) {
  if (!OnPostgresServer()) GTEST_SKIP() << "an SQLite file has no session to end";
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  SlowDoneMarks(*tree.db, 0.05);
  auto program = tree.Start(kGroup);
  ASSERT_TRUE(WaitUntilDone(tree, 5));
  tree.db->Query("select pg_terminate_backend(pid) from pg_stat_activity "
                 "where datname=current_database() and pid<>pg_backend_pid()");
  ExpectQuietSuccess(program->Wait());

  ParsedLog log = tree.Log();
  ASSERT_TRUE(log.whole && log.entries.size() == 1) << Describe(log);
  const LogRecord& entry = log.entries[0];
  EXPECT_EQ(entry.func + "|" + entry.message, "ProcessRequests()|Verbindung wiederhergestellt");
  EXPECT_TRUE(entry.code == -3113 || entry.code == -3114) << entry.code;
  EXPECT_EQ(tree.Pending(), 0);
  ExpectReportOfTheRun(tree, "queue done", 0);
  EXPECT_EQ(ReportField(tree.Report(kGroup), "reconnects"), "1");
  NormalDoneMarks(*tree.db);
  EXPECT_TRUE(run_tests::Snapshot(*tree.db) == expected) << "after the lost session";

  // A request that costs the session every time: the fifth loss in a row ends the run instead
  // of a reconnect for ever.
  Tree doomed = NewTree();
  ASSERT_NE(doomed.db, nullptr);
  const std::string person =
      doomed.db->Scalar("select PudPnr from Rvk740Pud order by PudDat").value_or("");
  doomed.db->Exec("create function end_session() returns trigger language plpgsql as $$ begin "
                  "perform pg_terminate_backend(pg_backend_pid()); return new; end $$");
  doomed.db->Exec("create trigger rvk740pud_end_session before update on Rvk740Pud for each row "
                  "when (new.PudPnr = '" + person + "') execute function end_session()");
  auto doomedRun = doomed.Start(kGroup);
  ASSERT_TRUE(doomedRun->EndsWithin(60s)) << "still reconnecting after a minute";
  ExpectQuietSuccess(doomedRun->Wait());
  ParsedLog lost = doomed.Log();
  ASSERT_TRUE(lost.whole && !lost.entries.empty()) << Describe(lost);
  EXPECT_EQ(CountEntries(lost, "Verbindung wiederhergestellt"), 4) << Describe(lost);
  EXPECT_EQ(lost.entries.back().func + "|" + lost.entries.back().message,
            "ProcessRequests()|Abbruch: Verbindung verloren") << Describe(lost);
  EXPECT_EQ(doomed.Pending(), kRequests);
  EXPECT_EQ(ReportField(doomed.Report(kGroup), "ended_by"), "connection lost");
  EXPECT_EQ(ReportField(doomed.Report(kGroup), "reconnects"), "4");
}

void ExpectEndedBySignal(const Tree& tree, const ParsedLog& log) {
  ASSERT_TRUE(log.whole && !log.entries.empty()) << Describe(log);
  ExpectReportOfTheRun(tree, "signal", -1);
  EXPECT_EQ(Text(log.entries.back()),
            "ProcessRequests()|Abbruch durch Signal|" +
                  std::to_string(testing_process::StopSignalNumber())) << Describe(log);
  EXPECT_EQ(CountEntries(log, "Abbruch durch Signal"), 1) << Describe(log);
  ExpectAtMostOneEntryPerPendingRequest(tree, log);
}

#ifndef _WIN32  // the server's process is stopped from here
// Stops the server process of the run's session, the one marking requests done (it sleeps
// there); its pid, for SIGCONT.
std::optional<std::string> FreezeTheRunsSession(TestDb& db) {
  std::optional<std::string> pid;
  for (int tries = 0; tries < 100 && !pid; ++tries) {
    pid = db.Scalar("select max(pid) from pg_stat_activity where datname=current_database() "
                    "and pid<>pg_backend_pid() and query like 'update Rvk740Pud%'");
  }
  if (pid && kill(std::stoi(*pid), SIGSTOP) != 0) pid.reset();
  return pid;
}

// A stop while the server is frozen ends the run within 15 s whatever the driver does.
TEST_P(FaultTest, StopWhileTheServerIsFrozenEndsTheRunSoon) {
  if (!OnPostgresServer()) GTEST_SKIP() << "a server process to freeze";
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  SlowDoneMarks(*tree.db, 0.05);
  auto program = tree.Start(kGroup);
  ASSERT_TRUE(WaitUntilDone(tree, 5));
  std::optional<std::string> pid = FreezeTheRunsSession(*tree.db);
  ASSERT_TRUE(pid.has_value());
  program->AskToStop();
  bool ended = program->EndsWithin(kStopWithin);
  kill(std::stoi(*pid), SIGCONT);
  ASSERT_TRUE(ended) << "still running " << kStopWithin.count() << " s after SIGTERM";
  ExpectQuietSuccess(program->Wait());
  // Natively the connection that took no cancel is closed, which the entry tells.
  ParsedLog log = tree.Log();
  ASSERT_TRUE(log.whole && log.entries.size() == 1) << Describe(log);
  const std::string entry = Text(log.entries[0]);
  EXPECT_TRUE(entry == "ProcessRequests()|Abbruch durch Signal|" +
                           std::to_string(testing_process::StopSignalNumber()) ||
              entry == "ProcessRequests()|Abbruch: Verbindung verloren|-3114")
      << entry;
  ExpectReportOfTheRun(tree, "signal", -1);
  NormalDoneMarks(*tree.db);
  ExpectRerunLikeWhole(tree, expected, "after the stop on a frozen server");
}

// A frozen server process keeps its TCP acknowledged, so no keepalive ends the wait for its
// answer: the answer bound does. Natively the run closes the connection, connects again and
// does the queue but what the frozen session still locks. Through ODBC the driver's call is
// cancelled and, as it does not return from a frozen server, the run ends itself with its
// entry and its report 10 s later. Once the server goes on, a rerun ends as an undisturbed run.
TEST_P(FaultTest, FrozenServerProcessCostsTheConnectionNotTheRun) {
  if (!OnPostgresServer()) GTEST_SKIP() << "a server process to freeze";
  constexpr int kAnswerSeconds = 15;  // the least: a lock wait of 10 s is an answer too
  const bool odbc = GetParam().name == "odbc";
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  const std::string bounded = tree.dir->RunPath() + "/bounded.cfg";
  const std::string bound = std::to_string(kAnswerSeconds);
  const std::string net = odbc ? tree.db->NetService() + ";KestrumelAnswerTimeout=" + bound
                               : tree.db->NetService() + "?kestrumel_answer_timeout=" + bound;
  ASSERT_EQ(testing_run::WriteConfigWithTool(bounded, net, tree.db->Schema(), tree.db->User(),
                                             tree.db->Password()).exitStatus, 0);
  SlowDoneMarks(*tree.db, 0.05);
  testing_run::RunningProgram program(testing_run::ProgramPath(),
                                      testing_run::CommandLine(bounded, kGroup),
                                      tree.dir->RunPath());
  ASSERT_TRUE(WaitUntilDone(tree, 5));
  std::optional<std::string> pid = FreezeTheRunsSession(*tree.db);
  ASSERT_TRUE(pid.has_value());
  // The bound, then natively a lock timeout for the request the frozen session holds and one
  // for its retry, through ODBC the 10 s a cancelled call is given.
  bool ended = program.EndsWithin(std::chrono::seconds(kAnswerSeconds + 2 * 10 + 15));
  kill(std::stoi(*pid), SIGCONT);
  ASSERT_TRUE(ended) << "still waiting for the frozen server" << Describe(tree.Log());
  ExpectQuietSuccess(program.Wait());

  ParsedLog log = tree.Log();
  ASSERT_TRUE(log.whole && !log.entries.empty()) << Describe(log);
  if (odbc) {
    ASSERT_EQ(log.entries.size(), 1u) << Describe(log);
    EXPECT_EQ(Text(log.entries.front()), "ProcessRequests()|Abbruch: Verbindung verloren|-3113");
    EXPECT_EQ(ReportField(tree.Report(kGroup), "ended_by"), "connection lost");
  } else {
    EXPECT_EQ(Text(log.entries.front()), "ProcessRequests()|Verbindung wiederhergestellt|-3113")
        << Describe(log);
    for (size_t i = 1; i < log.entries.size(); ++i) {
      EXPECT_EQ(log.entries[i].code, kLockNotObtained) << Describe(log);
    }
    EXPECT_LE(tree.Pending(), 1);
  }
  NormalDoneMarks(*tree.db);
  ExpectRerunLikeWhole(tree, expected, "after the frozen server");
}
#endif

// Two runs of one group started together: the second waits for the first and finds nothing
// left, so neither reports the other's requests as failed, and the result is one run's.
TEST_P(FaultTest, TwoRunsOfOneGroupEndAsOneRun) {
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  {
    auto one = tree.Start(kGroup);
    auto other = tree.Start(kGroup);
    ExpectQuietSuccess(one->Wait());
    ExpectQuietSuccess(other->Wait());
  }
  ParsedLog log = tree.Log();
  EXPECT_TRUE(log.whole && log.entries.empty()) << Describe(log);
  EXPECT_TRUE(Snapshot(*tree.db) == expected) << Describe(log);
  EXPECT_EQ(tree.Status(kGroup).exitStatus, 0) << tree.Report(kGroup);
}

// A run that never got going, or was killed, is a failed run to monitoring: its report says
// why, or still says "running" though no such process is left.
TEST_P(FaultTest, ReportOfARunThatFailedToConnectOrWasKilled) {
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  const std::string elsewhere = tree.dir->RunPath() + "/elsewhere.cfg";
  ASSERT_EQ(testing_run::WriteConfigWithTool(elsewhere, "nowhere:" + tree.db->Schema(),
                                             tree.db->Schema(), tree.db->User(),
                                             tree.db->Password()).exitStatus, 0);
  ExpectQuietSuccess(testing_run::RunProgram(tree.dir->RunPath(),
                                             testing_run::CommandLine(elsewhere, kGroup)));
  std::string report = tree.Report(kGroup);
  EXPECT_EQ(ReportField(report, "ended_by"), "connect failed") << report;
  EXPECT_EQ(ReportField(report, "status"), "-12154") << report;
  EXPECT_EQ(ReportField(report, "pending"), "null") << report;
  EXPECT_EQ(report.find(tree.db->Password()), std::string::npos) << report;
  EXPECT_EQ(tree.Status(kGroup).exitStatus, 2) << report;

  auto held = HoldWhatTheQueueNeeds(*tree.db);
  ASSERT_NE(held, nullptr);
  auto program = tree.Start(kGroup);
  ASSERT_TRUE(WaitUntilWaitingForALock(*tree.db, GetParam()));
  program->Kill();
  program->Wait();
  report = tree.Report(kGroup);
  EXPECT_EQ(ReportField(report, "state"), "running") << report;
  EXPECT_EQ(tree.Status(kGroup).exitStatus, 2) << report;
}


// A stop signal does not wait for the lock the program waits for.
TEST_P(FaultTest, SignalWhileWaitingForALockEndsTheRunSoon) {
  Outcome expected = Reference();
  Tree tree = NewTree();
  ASSERT_NE(tree.db, nullptr);
  auto held = HoldWhatTheQueueNeeds(*tree.db);
  ASSERT_NE(held, nullptr);
  auto program = tree.Start(kGroup);
  ASSERT_TRUE(WaitUntilWaitingForALock(*tree.db, GetParam()));
  program->AskToStop();
  bool ended = program->EndsWithin(kStopWithin);
  held.reset();
  ASSERT_TRUE(ended) << "still running " << kStopWithin.count() << " s after SIGTERM";
  ExpectQuietSuccess(program->Wait());

  ExpectEndedBySignal(tree, tree.Log());
  ExpectRerunLikeWhole(tree, expected, "after the signal");
}

// A stop signal does not wait for the log file's lock either: the entries go in without it.
TEST_P(FaultTest, SignalWhileTheLogFileIsLockedEndsTheRunSoon) {
  PlanShape shape = Shape();
  shape.firstWithoutDayCodes = true;  // the first request has an entry to write
  Outcome expected = Reference(shape);
  Tree tree = NewTree(shape);
  ASSERT_NE(tree.db, nullptr);
  std::string logPath = tree.dir->LogPath(tree.db->Schema());
  platform::AppendOnlyFile held;  // as another writer holds it
  ASSERT_EQ(held.Open(logPath), 0);
  ASSERT_EQ(held.TryLock(), 0);

  auto program = tree.Start(kGroup);
  bool endedBeforeSignal = program->EndsWithin(1500ms);
  program->AskToStop();
  bool ended = program->EndsWithin(kStopWithin);
  held.Close();
  EXPECT_FALSE(endedBeforeSignal) << "the run did not wait for the log file";
  ASSERT_TRUE(ended) << "still running " << kStopWithin.count() << " s after SIGTERM";
  ExpectQuietSuccess(program->Wait());

  ParsedLog log = tree.Log();
  ExpectEndedBySignal(tree, log);
  EXPECT_EQ(Text(log.entries.front()), "Read_UrlKrk_Tgb()|Fehler: Read Rvk327Tag|1403")
      << Describe(log);
  ExpectRerunLikeWhole(tree, expected, "after the log file's lock");
}

INSTANTIATE_BACKEND_TEST(FaultTest);

}  // namespace
