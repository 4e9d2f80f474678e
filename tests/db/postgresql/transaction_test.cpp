// Oracle's statement-level rollback on PostgreSQL, which aborts a whole transaction on an
// error: statements failed on their data leave earlier work usable, a fault holds it back
// until the rollback, the automatic savepoints neither disturb the guards nor fill the
// lock table, and a deadlock victim's rollback takes its earlier work while the other run
// finishes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "common/run_alone.h"
#include "forked_child.h"
#include "db/status.h"
#include "fixture.h"

namespace {

namespace status = db::status;
using db::IntIn;
using db::IntOut;
using db::SqlExecute;
using db::TextIn;
using db::TextOut;
using testing_db::GuardedChange;

constexpr const char* kWriteBack =
    "update Rvk740Pud  set PudKng=:b0 where PudDat=TO_DATE(:b1,'yyyymmddHH24MISS')";
constexpr const char* kUpdateTgb = "update rvk327tag  set TagTgb=:b0 where TagPnr=:b1";

class PostgresTransactionTest : public PostgresTest {
 protected:
  // Requests queued one second apart from 2024-01-01 00:00:00, state 1.
  void QueueRequests(int count) {
    db->Exec("insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudPlg, PudDat) "
             "select 'P' || g, '2024-01-01', 1, 1, 'G1', "
             "timestamp '2024-01-01' + g * interval '1 second' from generate_series(0, " +
             std::to_string(count - 1) + ") g");
  }
  static std::string StampOf(int request) {
    char text[32];
    std::snprintf(text, sizeof text, "20240101%02d%02d%02d", request / 3600, request / 60 % 60,
                  request % 60);
    return text;
  }
  static int WriteBack(int request, int32_t state = 3) {
    std::string stamp = StampOf(request);
    return SqlExecute(kWriteBack, {IntIn(state), TextIn(stamp.c_str(), 27)});
  }
  std::string TagTgbOf(const std::string& pnr) {
    return db->Scalar("select TagTgb from rvk327tag where TagPnr='" + pnr + "'").value_or("<null>");
  }
  long Done() { return db->Count("select count(*) from Rvk740Pud where PudKng=3"); }
  // A select that fails on the server with a data error: it undoes only itself.
  static int SelectWithAnInvalidDate() {
    int32_t number = 0;
    return SqlExecute(
        "select count(*)  into :b0  from Rvk740Pud where PudDtm=TO_DATE(:b1,'yyyymmdd')",
        {TextIn("20241301", 11)}, {IntOut(number)});
  }
  void InsertTag(const std::string& pnr, const std::string& tgb) {
    db->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('" + pnr +
             "', '2024-01-05 00:00:00', '" + tgb + "')");
  }
};

// A write-back without savepoint, then a failure of each kind, then the next commit: after a
// data error the write-back is kept. Failed selects count too, and so does the very first
// statement of a transaction. A fault (a table or column unknown when the statement is
// prepared) instead refuses the commit, and the rollback takes the write-back.
TEST_F(PostgresTransactionTest, FailedStatementsKeepThePendingWriteBack) {
  QueueRequests(1);
  InsertTag("P1", "abc");
  InsertTag("P2", "abc");
  db->FailOn("Rvk746Err", "insert");
  char text[8] = "";
  int32_t number = 0;
  db::SqlCursor cursor;
  struct Case {
    const char* what;
    std::function<int()> run;
    int expected;
    bool fault = false;
  };
  const Case failures[] = {
      {"select of an unknown table",
       [&] {
         return SqlExecute("select count(*)  into :b0  from Rvk999Xyz", {}, {IntOut(number)});
       },
       status::kNoSuchTable, true},
      {"select of an unknown column",
       [&] { return SqlExecute("select TagXyz into :b0  from rvk327tag", {}, {TextOut(text, 8)}); },
       status::kInvalidIdentifier, true},
      {"select with a text where a number belongs",
       [&] {
         return SqlExecute("select count(*)  into :b0  from Rvk740Pud where PudKng=:b1",
                           {TextIn("abc", 4)}, {IntOut(number)});
       },
       status::kInvalidNumber},
      {"select with an invalid date", [] { return SelectWithAnInvalidDate(); },
       status::kMonthInvalid},
      {"select of several rows",
       [&] { return SqlExecute("select TagTgb into :b0  from rvk327tag", {}, {TextOut(text, 8)}); },
       status::kTooManyRows},
      {"cursor with an invalid date",
       [&] {
         return db::SqlOpen(cursor, "select TagTgb  from rvk327tag where TagTag=TO_DATE(:b0,'yyyymmdd')",
                            {TextIn("20240230", 11)});
       },
       status::kDayOfMonthInvalid},
      {"insert stopped by a trigger",
       [&] { return SqlExecute("insert into Rvk746Err (ErrPlg) values (:b0)", {TextIn("G1", 6)}); },
       status::kTriggerRaised},
      {"update into a duplicate key",
       [&] {
         return SqlExecute("update rvk327tag  set TagPnr=:b0 where TagPnr=:b1",
                           {TextIn("P1", 9), TextIn("P2", 9)});
       },
       status::kUniqueViolated},
  };
  for (const Case& c : failures) {
    for (bool first : {true, false}) {  // with nothing pending yet, and after a write-back
      if (!first) {
        ASSERT_EQ(WriteBack(0), 0) << c.what;
      }
      EXPECT_EQ(c.run(), c.expected) << c.what << ": " << db::SqlLastNativeError();
      if (c.fault) {
        EXPECT_EQ(SqlExecute("commit"), c.expected) << c.what;
        ASSERT_EQ(SqlExecute("rollback"), 0) << c.what << ": " << db::SqlLastNativeError();
      } else {
        ASSERT_EQ(SqlExecute("commit"), 0) << c.what << ": " << db::SqlLastNativeError();
      }
      EXPECT_EQ(Done(), first || c.fault ? 0 : 1) << c.what;
      db->Exec("update Rvk740Pud set PudKng=1");
    }
  }
}

// The automatic savepoints around statements and reads never take a guard with them, and a
// guarded change that matches no row goes back to its own guard, nothing before it.
TEST_F(PostgresTransactionTest, GuardSurvivesTheAutomaticSavepoints) {
  QueueRequests(5);
  int32_t number = 0;
  auto guardedWriteBack = [](int request) {
    std::string stamp = StampOf(request);
    return GuardedChange(kWriteBack, {IntIn(3), TextIn(stamp.c_str(), 27)});
  };
  ASSERT_EQ(WriteBack(0), 0);
  ASSERT_EQ(WriteBack(1), 0);  // under an automatic savepoint: work is pending
  ASSERT_EQ(guardedWriteBack(2), 0) << db::SqlLastNativeError();
  EXPECT_EQ(SelectWithAnInvalidDate(), status::kMonthInvalid);
  ASSERT_EQ(WriteBack(3), 0);
  ASSERT_EQ(
      SqlExecute("select count(*)  into :b0  from Rvk740Pud where PudKng=3", {}, {IntOut(number)}),
      0);
  EXPECT_EQ(number, 4);
  EXPECT_EQ(guardedWriteBack(9), status::kNoData) << db::SqlLastNativeError();
  ASSERT_EQ(WriteBack(4), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(Done(), 5);
}

// Thousands of write-backs without a commit, failures between them, on a server whose lock
// table could not hold one lock per automatic savepoint.
TEST_F(PostgresTransactionTest, ThousandsOfWriteBacksWithoutCommit) {
  PgConnection native = Native();
  long locksPerTransaction =
      std::stol(NativeScalar(native.get(), "show max_locks_per_transaction"));
  long connections = std::stol(NativeScalar(native.get(), "show max_connections")) +
                     std::stol(NativeScalar(native.get(), "show max_prepared_transactions"));
  int requests = static_cast<int>(std::max(5000L, 2 * locksPerTransaction * connections));
  QueueRequests(requests);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < requests; ++i) {
    ASSERT_EQ(WriteBack(i), 0) << "request " << i << ": " << db::SqlLastNativeError();
    if (i % 500 == 0) {
      ASSERT_EQ(SelectWithAnInvalidDate(), status::kMonthInvalid) << db::SqlLastNativeError();
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(SqlExecute("commit"), 0) << db::SqlLastNativeError();
  EXPECT_EQ(Done(), requests);
  RecordProperty("write_backs_per_second", static_cast<int>(requests / seconds));
  std::printf("[   INFO   ] %d write-backs in one transaction: %.0f statements/s\n", requests,
              requests / seconds);
}

// A run whose every saved change fails never commits, so guards are set again and again within
// one transaction, with a write-back between. Were they nested on the server, each would hold
// a lock until the lock table overflows.
TEST_F(PostgresTransactionTest, GuardsSetAgainWithoutCommitDoNotPileUp) {
  PgConnection native = Native();
  long lockTable = std::stol(NativeScalar(native.get(), "show max_locks_per_transaction")) *
                   std::stol(NativeScalar(native.get(), "show max_connections"));
  int requests = static_cast<int>(std::min(3 * lockTable, 20000L));
  QueueRequests(requests);
  InsertTag("P1", "abc");
  db->FailOn("rvk327tag", "update");
  db->FailOn("Rvk746Err", "insert");
  auto updateTag = [] { return GuardedChange(kUpdateTgb, {TextIn("x", 4), TextIn("P1", 9)}); };
  auto insertErr = [] {
    return GuardedChange("insert into Rvk746Err (ErrPlg) values (:b0)", {TextIn("G1", 6)});
  };
  for (int i = 0; i < requests; ++i) {
    ASSERT_EQ(updateTag(), status::kTriggerRaised) << "request " << i << ": " << db::SqlLastNativeError();
    ASSERT_EQ(updateTag(), status::kTriggerRaised) << "request " << i << ": " << db::SqlLastNativeError();
    ASSERT_EQ(insertErr(), status::kTriggerRaised) << "request " << i << ": " << db::SqlLastNativeError();
    ASSERT_EQ(WriteBack(i), 0) << "request " << i << ": " << db::SqlLastNativeError();
  }
  ASSERT_EQ(SqlExecute("commit"), 0) << db::SqlLastNativeError();
  EXPECT_EQ(Done(), requests);
  EXPECT_EQ(TagTgbOf("P1"), "abc");
}

// A read FOR UPDATE opens the transaction: its lock holds until the commit, not only for the
// statement, as it would outside one.
TEST_F(PostgresTransactionTest, LockingReadHoldsItsRowToTheCommit) {
  InsertTag("P1", "abc");
  char text[8] = "";
  ASSERT_EQ(SqlExecute("select TagTgb into :b0  from rvk327tag where TagPnr=:b1 for update",
                       {TextIn("P1", 9)}, {TextOut(text, 8)}),
            0)
      << db::SqlLastNativeError();
  EXPECT_STREQ(text, "abc");
  PgConnection native = Native();
  auto lockedElsewhere = [&] {
    PGresult* result =
        PQexec(native.get(), "select 1 from rvk327tag where TagPnr='P1' for update nowait");
    bool locked = PQresultStatus(result) == PGRES_FATAL_ERROR;
    PQclear(result);
    return locked;
  };
  EXPECT_TRUE(lockedElsewhere());
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_FALSE(lockedElsewhere());
}

// Two runs lock each other's rows in opposite order: the server picks one as the deadlock
// victim. Its statement fails, nothing more is sent until its rollback, which takes its
// earlier write-back too; the other run finishes, and so does the victim's next transaction.
TEST_F(PostgresTransactionTest, DeadlockVictimRollsBackAndTheOtherFinishes) {
  InsertTag("A", "a");
  InsertTag("B", "b");
  QueueRequests(2);
  db::SqlDisconnect();
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  auto run = [&](int request, const char* first, const char* second) {
    return [&, request, first, second](const ChildProcess& self) {
      if (db->ConnectRuntime() != 0) return 100;
      if (WriteBack(request) != 0) return 101;
      if (SqlExecute(kUpdateTgb, {TextIn(first, 4), TextIn(first, 9)}) != 0) return 102;
      self.SignalReady();
      char byte = 0;
      if (read(go[0], &byte, 1) != 1) return 103;  // both hold their first row now
      int rc = SqlExecute(kUpdateTgb, {TextIn(first, 4), TextIn(second, 9)});
      if (rc == 0) return SqlExecute("commit") == 0 ? 0 : 104;
      if (rc != status::kDeadlock) return 105;
      if (db::SqlFault() != status::kDeadlock) return 106;
      if (SqlExecute("commit") != status::kDeadlock) return 107;
      if (SqlExecute("rollback") != 0) return 108;
      int32_t state = 0;
      std::string stamp = StampOf(request);
      if (SqlExecute("select PudKng into :b0  from Rvk740Pud where "
                     "PudDat=TO_DATE(:b1,'yyyymmddHH24MISS')",
                     {TextIn(stamp.c_str(), 27)}, {IntOut(state)}) != 0 || state != 1) {
        return 109;  // the write-back went with the rollback
      }
      if (WriteBack(request) != 0 || SqlExecute("commit") != 0) return 110;
      return 60;
    };
  };
  ChildProcess one(run(0, "A", "B"));
  ASSERT_TRUE(one.WaitReady(30));
  ChildProcess two(run(1, "B", "A"));
  ASSERT_TRUE(two.WaitReady(30));
  ASSERT_EQ(write(go[1], "gg", 2), 2);
  int first = one.Wait();
  int second = two.Wait();
  close(go[0]);
  close(go[1]);
  EXPECT_TRUE((first == 0 && second == 60) || (first == 60 && second == 0))
      << first << " " << second;
  // Both rows as the survivor left them; both write-backs done, the victim's anew.
  std::string survivor = first == 0 ? "A" : "B";
  EXPECT_EQ(TagTgbOf("A"), survivor);
  EXPECT_EQ(TagTgbOf("B"), survivor);
  EXPECT_EQ(Done(), 2);
}

}  // namespace
