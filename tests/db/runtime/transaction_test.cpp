// Oracle transactions on the runtime: implicit begin, savepoints, statement-level failure,
// commit, and what becomes of work that no commit follows.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/child_body.h"
#include "common/run_alone.h"
#include "runtime_fixture.h"

namespace {

class TransactionTest : public RuntimeTest {};
INSTANTIATE_BACKEND_TEST(TransactionTest);

using db::SqlExecute;
using db::TextIn;
using testing_db::GuardedChange;
namespace status = db::status;

int UpdateTgb(const char* pnr, const char* value) {
  return SqlExecute(kUpdateTgb, {TextIn(value, 4), TextIn(pnr, 9)});
}

// The child bodies' first four arguments connect them (TestDb::ConnectArguments).
constexpr size_t kConnect = 4;

// Arguments: connection, value, ready flag. Sets P1 to the value without a commit; then ends
// at once, or with a flag raises it and waits to be killed.
int UncommittedUpdateBody(const std::vector<std::string>& args) {
  if (args.size() != kConnect + 2) return 125;
  if (testing_db::ConnectRuntimeAs(args) != 0) return 1;
  if (UpdateTgb("P1", args[kConnect].c_str()) != 0) return 2;
  if (args[kConnect + 1].empty()) return 0;  // ends without commit
  testing_child::Raise(args[kConnect + 1]);
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 3;
}

// Arguments: connection, group. Commits rows of its group one by one, each with an update of
// P0 that the other writer makes too; returns how many failed.
constexpr int kRows = 40;
int GroupWriterBody(const std::vector<std::string>& args) {
  if (args.size() != kConnect + 1) return 125;
  if (testing_db::ConnectRuntimeAs(args) != 0) return 100;
  const char* group = args[kConnect].c_str();
  int failures = 0;
  for (int32_t i = 0; i < kRows; ++i) {
    int rc = SqlExecute("insert into Rvk746Err (ErrPlg,ErrDat,ErrLfn) values (:b0,sysdate,:b1)",
                        {TextIn(group, 6), db::IntIn(i)});
    if (rc == 0) rc = UpdateTgb("P0", group);  // both write one row too
    if (rc == 0) rc = SqlExecute("commit");
    if (rc != 0) {
      SqlExecute("rollback");
      ++failures;
    }
  }
  return failures;
}

const testing_child::Registration kUncommittedUpdate("runtime-uncommitted-update",
                                                     &UncommittedUpdateBody);
const testing_child::Registration kGroupWriter("runtime-group-writer", &GroupWriterBody);

std::vector<std::string> WithConnection(const testing_db::TestDb& db,
                                        const std::vector<std::string>& args) {
  std::vector<std::string> all = db.ConnectArguments();
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

TEST_P(TransactionTest, CommitMakesAllPendingWorkPermanent) {
  InsertTag("P1", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-05", "abc");
  EXPECT_EQ(SqlExecute("commit"), 0);  // nothing pending
  ASSERT_EQ(UpdateTgb("P1", "one"), 0);  // no savepoint, as the request write-back
  ASSERT_EQ(GuardedChange(kUpdateTgb, {TextIn("two", 4), TextIn("P2", 9)}), 0);
  EXPECT_EQ(TagTgb("P1"), "abc");  // not visible to others before the commit
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "one");
  EXPECT_EQ(TagTgb("P2"), "two");
}

// A guarded change that fails or matches no row goes back to its own guard, at the start of a
// transaction too: what came before it stays, and the transaction goes on.
TEST_P(TransactionTest, GuardedChangeGoesBackToItsGuardAlone) {
  InsertTag("P1", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-05", "abc");
  db->FailOn("Rvk746Err", "insert");
  auto guarded = [](const char* value, const char* pnr) {
    return GuardedChange(kUpdateTgb, {TextIn(value, 4), TextIn(pnr, 9)});
  };
  const char* kInsertErr = "insert into Rvk746Err (ErrPlg) values (:b0)";
  EXPECT_EQ(guarded("xyz", "P9"), status::kNoData);  // nothing changed before it
  ASSERT_EQ(guarded("one", "P1"), 0);
  EXPECT_EQ(guarded("xyz", "P9"), status::kNoData);
  EXPECT_EQ(GuardedChange(kInsertErr, {TextIn("G", 6)}), status::kTriggerRaised);
  ASSERT_EQ(UpdateTgb("P2", "two"), 0);
  EXPECT_EQ(GuardedChange(kInsertErr, {TextIn("G", 6)}), status::kTriggerRaised);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "one");
  EXPECT_EQ(TagTgb("P2"), "two");
}

// A failed statement undoes only itself: the pending update before it is committed later.
TEST_P(TransactionTest, FailedStatementLeavesOtherPendingWork) {
  InsertTag("P1", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-06", "abc");
  db->FailOn("Rvk746Err", "insert");
  ASSERT_EQ(UpdateTgb("P1", "one"), 0);
  struct Case {
    const char* what;
    std::function<int()> run;
    int expected;
  };
  const Case failures[] = {
      {"trigger", [] { return SqlExecute("insert into Rvk746Err (ErrPlg) values (:b0)", {TextIn("G", 6)}); },
       status::kTriggerRaised},
      {"duplicate", [] { return SqlExecute(kInsertTag, {TextIn("P1", 9), TextIn("20240105", 11), TextIn("x", 4)}); },
       status::kUniqueViolated},
      {"invalid date", [] { return SqlExecute(kInsertTag, {TextIn("P3", 9), TextIn("20241305", 11), TextIn("x", 4)}); },
       status::kMonthInvalid},
      // The first of two rows is changed before the second collides: both changes are undone.
      {"half done", [] { return SqlExecute("update rvk327tag  set TagTag=TO_DATE(:b0,'yyyymmdd'), TagTgb=:b1 where TagPnr=:b2",
                                           {TextIn("20240107", 11), TextIn("bad", 4), TextIn("P2", 9)}); },
       status::kUniqueViolated},
  };
  for (const Case& c : failures) EXPECT_EQ(c.run(), c.expected) << c.what;
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "one");
  EXPECT_EQ(db->Count("select count(*) from rvk327tag where TagPnr='P2' and TagTgb='abc'"), 2);
  EXPECT_EQ(db->Count("select count(*) from rvk327tag"), 3);
  EXPECT_EQ(db->Count("select count(*) from Rvk746Err"), 0);
}

// After a fault nothing reaches the database until the rollback: neither a statement (the
// trigger would answer had the insert been sent) nor a series nor the commit. The rollback
// takes back the whole transaction, the change before the fault included, and the next one
// works.
TEST_P(TransactionTest, FaultHoldsBackEverythingButTheRollback) {
  InsertTag("P1", "2024-01-05", "abc");
  db->FailOn("Rvk746Err", "insert");
  ASSERT_EQ(UpdateTgb("P1", "one"), 0);
  int32_t count = -1;
  EXPECT_EQ(SqlExecute("select count(*) into :b0  from no_such_table", {}, {db::IntOut(count)}),
            status::kNoSuchTable);
  EXPECT_EQ(db::SqlFault(), status::kNoSuchTable);
  EXPECT_EQ(SqlExecute("insert into Rvk746Err (ErrPlg) values (:b0)", {TextIn("G", 6)}),
            status::kNoSuchTable);
  int changed = 0;
  int readStatus = 0;
  char read[4] = "-";
  db::SqlSeries series;
  series.AddChange(kUpdateTgb, {TextIn("two", 4), TextIn("P1", 9)}, changed);
  series.Add(kSelectTgb, {TextIn("P1", 9)}, {db::TextOut(read, true)}, readStatus);
  EXPECT_EQ(series.Run(), status::kNoSuchTable);
  EXPECT_EQ(changed, status::kNoSuchTable);
  EXPECT_EQ(readStatus, status::kNoSuchTable);
  EXPECT_STREQ(read, "-");
  EXPECT_EQ(SqlExecute("commit"), status::kNoSuchTable);
  ASSERT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(db::SqlFault(), 0);
  ASSERT_EQ(SqlExecute(kSelectTgb, {TextIn("P1", 9)}, {db::TextOut(read, true)}), 0);
  EXPECT_STREQ(read, "abc");
  ASSERT_EQ(UpdateTgb("P1", "new"), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "new");
}

// Queries sent together answer as one after the other would: those before the first failure
// are written, the later ones are not. After a data error the pending change before them
// stays; a fault (a table missing when the series is checked) holds it back until the
// rollback takes it. So it is whether a read went between or the series follows the change.
TEST_P(TransactionTest, SeriesStopsAtItsFirstFailureAndKeepsPendingWork) {
  // A key with a quote and a backslash: inputs written into a text must arrive as they are.
  const char* const kOdd = "P'\\1";
  InsertTag("P''\\1", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-05", "abc");
  struct Case {
    const char* failing;
    int expected;
    bool fault;
    const char* pending;  // the change before the series
    const char* kept;     // what it leaves once the transaction has ended
  };
  const Case cases[] = {
      {"select count(*) into :b0  from rvk327tag where TagPnr=:b1 and TagTag=TO_DATE('20240230','yyyymmdd')",
       status::kDayOfMonthInvalid, false, "one", "one"},
      {"select count(*) into :b0  from no_such_table where TagPnr=:b1", status::kNoSuchTable, true,
       "two", "one"},
  };
  for (const Case& c : cases) for (bool readBetween : {true, false}) {
    ASSERT_EQ(UpdateTgb(kOdd, c.pending), 0);
    char read[4] = "";
    if (readBetween) {
      ASSERT_EQ(SqlExecute("select TagTgb into :b0  from rvk327tag where TagPnr=:b1",
                           {TextIn(kOdd, 9)}, {db::TextOut(read)}), 0);
      EXPECT_STREQ(read, c.pending);
    }
    char first[4] = "";
    int32_t second = -1;
    char third[4] = "-";
    db::SqlCursor notReached;
    int statuses[4] = {-1, -1, -1, -1};
    db::SqlSeries series;
    series.Add("select TagTgb into :b0  from rvk327tag where TagPnr=:b1", {TextIn(kOdd, 9)},
               {db::TextOut(first)}, statuses[0]);
    series.Add(c.failing, {TextIn("P1", 11)}, {db::IntOut(second)}, statuses[1]);
    series.Add("select TagTgb into :b0  from rvk327tag where TagPnr=:b1", {TextIn("P2", 9)},
               {db::TextOut(third)}, statuses[2]);
    series.AddOpen(notReached, "select TagTgb from rvk327tag", {}, statuses[3]);
    int rc = series.Run();
    EXPECT_EQ(rc, c.expected) << c.failing << (readBetween ? " after a read " : " ")
                              << db::SqlLastNativeError();
    // The read before the failure went through; the failing one and those after it have its status.
    const int reported[] = {0, c.expected, c.expected, c.expected};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(statuses[i], reported[i]) << c.failing << ", " << i;
    EXPECT_STREQ(first, c.pending) << c.failing;
    EXPECT_EQ(second, -1) << c.failing;
    EXPECT_STREQ(third, "-") << c.failing;
    EXPECT_EQ(db::SqlFetch(notReached, {db::TextOut(third)}), status::kInvalidCursor);
    EXPECT_EQ(db::SqlFault(), c.fault ? c.expected : 0) << c.failing;
    EXPECT_EQ(SqlExecute("commit"), c.fault ? c.expected : 0) << c.failing;
    if (c.fault) {
      EXPECT_EQ(SqlExecute("rollback"), 0) << c.failing;
    }
    EXPECT_EQ(TagTgb("P''\\1"), c.kept) << c.failing;
  }
}

// Changes sent together with the reads after them end as the calls one by one would, in any
// order: a change that fails and one that matches no row are taken back alone, at the start
// of a transaction too, though another change sets the same savepoint name again and two run
// the same statement; the others are done once, and the reads see them.
TEST_P(TransactionTest, SeriesOfChangesEndsAsTheChangesOneByOne) {
  InsertTag("P2", "2024-01-05", "abc");
  db->FailOn("Rvk746Err", "insert");
  // What a statement trigger does for an update that matches no row goes back with it. SQLite
  // has row triggers only, which such an update does not fire.
  db->Exec("create table stmt_log (n integer)");
  if (GetParam() == testing_db::Backend::Sqlite) {
    db->Exec("create trigger log_tag after update on rvk327tag begin "
             "insert into stmt_log values (1); end");
  } else {
    db->Exec("create function log_tag() returns trigger language plpgsql as "
             "$$ begin insert into stmt_log values (1); return null; end $$");
    db->Exec("create trigger log_tag after update on rvk327tag for each statement "
             "execute function log_tag()");
  }
  struct Change {
    const char* savepoint;
    const char* rollback;
    const char* statement;
    std::vector<const char*> inputs;
    int expected;
  };
  const Change changes[] = {
      {"savepoint A_Sp", "rollback  to A_Sp", kUpdateTgb, {"two", "P2"}, 0},
      {"savepoint B_Sp", "rollback  to B_Sp", "insert into Rvk746Err (ErrPlg) values (:b0)",
       {"G"}, status::kTriggerRaised},
      {"savepoint C_Sp", "rollback  to C_Sp", kUpdateTgb, {"xyz", "P9"}, status::kNoData},
      {"savepoint D_Sp", "rollback  to D_Sp", kInsertTag, {"P3", "20240105", "new"}, 0},
      {"savepoint C_Sp", "rollback  to C_Sp", kInsertTag, {"P4", "20240105", "new"}, 0},
  };
  const std::vector<size_t> orders[] = {{1, 0, 2, 3, 4}, {0, 2, 1, 3, 4}, {0, 2, 3, 4, 1}};
  for (const std::vector<size_t>& order : orders) {
    int statuses[5] = {};
    char read[4] = "";
    int32_t tags = 0;
    db::SqlSeries series;
    for (size_t k : order) {
      const Change& change = changes[k];
      const db::GuardedStatement guarded{.savepoint = change.savepoint,
                                         .statement = change.statement,
                                         .rollback = change.rollback};
      auto in = [&change](size_t i) { return TextIn(change.inputs[i], 11); };
      switch (change.inputs.size()) {
        case 1: series.AddChange(guarded, {in(0)}, statuses[k]); break;
        case 2: series.AddChange(guarded, {in(0), in(1)}, statuses[k]); break;
        default: series.AddChange(guarded, {in(0), in(1), in(2)}, statuses[k]); break;
      }
    }
    int reads[3] = {-1, -1, -1};
    int32_t logged = -1;
    series.Add("select TagTgb into :b0  from rvk327tag where TagPnr=:b1", {TextIn("P2", 9)},
               {db::TextOut(read)}, reads[0]);
    series.Add("select count(*) into :b0  from rvk327tag", {}, {db::IntOut(tags)}, reads[1]);
    series.Add("select count(*) into :b0  from stmt_log", {}, {db::IntOut(logged)}, reads[2]);
    std::string at = "order starting with " + std::to_string(order[0]) + std::to_string(order[1]);
    EXPECT_EQ(series.Run(), 0) << at << ": " << db::SqlLastNativeError();
    for (size_t k = 0; k < 5; ++k) EXPECT_EQ(statuses[k], changes[k].expected) << at << ", " << k;
    EXPECT_EQ(reads[0], 0) << at;
    EXPECT_EQ(reads[1], 0) << at;
    EXPECT_EQ(reads[2], 0) << at;
    EXPECT_EQ(logged, 1) << at;  // the update of P2 alone
    EXPECT_STREQ(read, "two") << at;
    EXPECT_EQ(tags, 3) << at;
    ASSERT_EQ(SqlExecute("rollback"), 0);
  }
  EXPECT_EQ(TagTgb("P2"), "abc");
  EXPECT_EQ(db->Count("select count(*) from rvk327tag"), 1);
}

// A rehearsal: commits, rollbacks, a failed statement and a fault behave as in a real run,
// seen from inside; at its end nothing stays, and no new session can take its work over.
TEST_P(TransactionTest, RehearsalBehavesAsARunAndKeepsNothing) {
  InsertTag("P1", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-05", "abc");
  auto tgb = [](const char* pnr) {
    char read[4] = "-";
    int rc = SqlExecute(kSelectTgb, {TextIn(pnr, 9)}, {db::TextOut(read, true)});
    return rc == 0 ? std::string(read) : "status " + std::to_string(rc);
  };
  ASSERT_EQ(db::SqlBeginRehearsal(), 0) << db::SqlLastNativeError();
  // A failed first change after a commit goes back to that commit only.
  EXPECT_EQ(SqlExecute(kInsertTag, {TextIn("P1", 9), TextIn("20240105", 11), TextIn("x", 4)}),
            status::kUniqueViolated);
  ASSERT_EQ(UpdateTgb("P1", "one"), 0) << db::SqlLastNativeError();
  ASSERT_EQ(SqlExecute("commit"), 0);
  ASSERT_EQ(UpdateTgb("P2", "two"), 0);
  ASSERT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(tgb("P1"), "one");
  EXPECT_EQ(tgb("P2"), "abc");
  EXPECT_EQ(GuardedChange(kUpdateTgb, {TextIn("3rd", 4), TextIn("P9", 9)}), status::kNoData);
  ASSERT_EQ(UpdateTgb("P1", "4th"), 0);
  int32_t count = -1;
  EXPECT_EQ(SqlExecute("select count(*) into :b0  from no_such_table", {}, {db::IntOut(count)}),
            status::kNoSuchTable);
  EXPECT_EQ(SqlExecute("commit"), status::kNoSuchTable);
  ASSERT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(tgb("P1"), "one");
  EXPECT_EQ(tgb("P2"), "abc");
  ASSERT_EQ(UpdateTgb("P2", "5th"), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(tgb("P2"), "5th");
  ASSERT_EQ(db::SqlEndRehearsal(), 0);
  EXPECT_EQ(TagTgb("P1"), "abc");
  EXPECT_EQ(TagTgb("P2"), "abc");
  EXPECT_EQ(tgb("P1"), "abc");
  // After it, commits keep again.
  ASSERT_EQ(UpdateTgb("P1", "new"), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "new");
  // A connection lost in a rehearsal is not replaced until it ends.
  ASSERT_EQ(db::SqlBeginRehearsal(), 0);
  ASSERT_EQ(UpdateTgb("P2", "6th"), 0);
  db::SqlDisconnect();
  EXPECT_EQ(db->ConnectRuntime(), status::kTransactionRolledBack);
  EXPECT_EQ(db::SqlEndRehearsal(), 0);
  ASSERT_EQ(db->ConnectRuntime(), 0);
  EXPECT_EQ(TagTgb("P2"), "abc");
}

// Work without a commit is lost when the process ends, normally or killed, and leaves no lock.
TEST_P(TransactionTest, UncommittedWorkDiesWithTheProcess) {
  InsertTag("P1", "2024-01-05", "abc");
  db::SqlDisconnect();
  for (bool killed : {false, true}) {
    testing_child::Flag ready;
    auto child = testing_child::Start(
        "runtime-uncommitted-update",
        WithConnection(*db, {killed ? "kil" : "ext", killed ? ready.Path() : ""}));
    if (killed) {
      ASSERT_TRUE(ready.WaitRaised(std::chrono::seconds(30)));
      child->Kill();
      EXPECT_EQ(child->Wait().exitStatus, -1) << "not killed";
    } else {
      EXPECT_EQ(child->Wait().exitStatus, 0);
    }
    EXPECT_EQ(TagTgb("P1"), "abc") << (killed ? "killed" : "exited");
  }
  ASSERT_EQ(db->ConnectRuntime(), 0);
  EXPECT_EQ(UpdateTgb("P1", "new"), 0) << db::SqlLastNativeError();
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "new");
}

// Two runs on one schema at the same time: each waits for the other's commits, none fails.
TEST_P(TransactionTest, TwoProcessesWriteOneSchemaAtTheSameTime) {
  InsertTag("P0", "2024-01-05", "0");
  db::SqlDisconnect();
  auto first = testing_child::Start("runtime-group-writer", WithConnection(*db, {"G1"}));
  auto second = testing_child::Start("runtime-group-writer", WithConnection(*db, {"G2"}));
  EXPECT_EQ(first->Wait().exitStatus, 0);
  EXPECT_EQ(second->Wait().exitStatus, 0);
  EXPECT_EQ(db->Count("select count(*) from Rvk746Err where ErrPlg='G1'"), kRows);
  EXPECT_EQ(db->Count("select count(*) from Rvk746Err where ErrPlg='G2'"), kRows);
}

}  // namespace
