// What only the SQLite backend has: its error mapping, its schema's checks, its calendar, its
// stop of a running statement and its handle per schema file.
#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <sys/resource.h>  // the file size limit that stands in for a full disk
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/stop_request.h"
#include "common/test_db.h"
#include "db/runtime/backend.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "db/sqlite/functions.h"
#include "db/sqlite/unchanged_keys.h"

namespace {

using testing_db::Backend;
using testing_db::TestDb;

std::string Directory(const TestDb& testDb) { return testDb.NetService().substr(7); }

// Only an assignment that repeats a term of a conjunction of equalities, expression for
// expression, can go; its inputs are named so that the run can compare their values.
TEST(SqliteDialect, FindsTheAssignmentsThatRepeatTheWhereClause) {
  db::sqlite::UnchangedKeys keys;
  ASSERT_TRUE(db::sqlite::FindUnchangedKeys(
      "update T  set K=?,D=TO_DATE(?,'yyyymmdd'),V=?,S=sysdate where ((K=? and "
      "D=TO_DATE(?,'yyyymmdd')) and V>?)",
      keys));
  EXPECT_EQ(keys.table, "T");
  EXPECT_EQ(keys.body, "update T  set V=?,S=sysdate where ((K=? and D=TO_DATE(?,'yyyymmdd')) and V>?)");
  EXPECT_EQ(keys.columns, (std::vector<std::string>{"K", "D"}));
  EXPECT_EQ(keys.kept, (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(keys.equal, (std::vector<std::pair<int, int>>{{0, 3}, {1, 4}}));

  for (const char* kept : {
           "update T set K=?, V=? where K=? or V=?",               // not a conjunction
           "update T set K=?, V=? where not (K=?)",                //
           "update T set K=?, V=? where K=? collate nocase",       // compares otherwise
           "update T set K=?, V=? where K=(select max(K) from T)", // not an input
           "update T set K=V, V=? where K=V",                      // a column
           "update T set D=sysdate, V=? where D=sysdate",          // moves while it runs
           "update T set D=TO_DATE(?,'yyyy'), V=? where D=TO_DATE(?,'yyyymmdd')",
           "update T set K=?, V=? where K>=? and V<?",             // no equality
           "update T set K=?, V=? where (K=?)=0",                  // a group compared
           "update T set K=?, V=? where 1+(K=?)",                  //
           "update T set K=? where K=?",                           // nothing left to set
       }) {
    EXPECT_FALSE(db::sqlite::FindUnchangedKeys(kept, keys)) << kept;
  }
}

TEST(SqliteErrors, EachKindOfFailureHasItsOwnStatus) {
  using namespace db::status;
  struct Case {
    int code;
    const char* message;
    int status;
  };
  const Case cases[] = {
      {SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: T.k", kUniqueViolated},
      {SQLITE_ERROR, "no such table: T", kNoSuchTable},
      {SQLITE_ERROR, "ORA-01843: not a valid month", kMonthInvalid},
      {SQLITE_BUSY, "database is locked", kResourceBusy},
      {SQLITE_BUSY_SNAPSHOT, "database is locked", kResourceBusy},
      {SQLITE_LOCKED_SHAREDCACHE, "database table is locked", kResourceBusy},
      {SQLITE_FULL, "database or disk is full", kTablespaceFull},
      {SQLITE_IOERR, "disk I/O error", kIoError},
      {SQLITE_IOERR_WRITE, "disk I/O error", kIoError},
      {SQLITE_IOERR_FSYNC, "disk I/O error", kIoError},
      {SQLITE_IOERR_SHORT_READ, "disk I/O error", kIoError},
      {SQLITE_IOERR_NOMEM, "out of memory", kOutOfMemory},
      {SQLITE_CANTOPEN, "unable to open database file", kIoError},
      {SQLITE_CORRUPT, "database disk image is malformed", kBlockCorrupted},
      {SQLITE_CORRUPT_SEQUENCE, "database disk image is malformed", kBlockCorrupted},
      {SQLITE_NOTADB, "file is not a database", kBlockCorrupted},
      {SQLITE_READONLY, "attempt to write a readonly database", kDatabaseReadOnly},
      {SQLITE_READONLY_DBMOVED, "attempt to write a readonly database", kDatabaseReadOnly},
      {SQLITE_INTERRUPT, "interrupted", kCancelled},
      {SQLITE_NOMEM, "out of memory", kOutOfMemory},
      {SQLITE_PERM, "access permission denied", kInsufficientPrivileges},
      {SQLITE_AUTH, "authorization denied", kInsufficientPrivileges},
      {SQLITE_PROTOCOL, "locking protocol", kInternal},  // no class of its own
      {SQLITE_ERROR, "something else", kInternal},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db::sqlite::MapSqliteError(c.code, c.message), c.status) << c.code << " " << c.message;
  }
}

class SqliteSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testDb = TestDb::Create(Backend::Sqlite);
    ASSERT_NE(testDb, nullptr);
  }
  void TearDown() override { db::SqlDisconnect(); }
  int Connect(const std::string& net) {
    return db::SqlConnect(testDb->User().c_str(), testDb->Password().c_str(), net.c_str());
  }
  std::unique_ptr<TestDb> testDb;
};

// A second schema in the same directory: a copy of the first with other content.
TEST_F(SqliteSessionTest, LaterSchemaSwitchServesTheNewSchema) {
  std::string dir = Directory(*testDb);
  testDb->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'old')");
  testDb->Exec("VACUUM INTO '" + dir + "/OTHER.db'");
  testDb->Exec("update rvk327tag set TagTgb='new'");
  const char* select = "select TagTgb into :b0  from rvk327tag where TagPnr=:b1";
  char tgb[4] = "";
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  ASSERT_EQ(db::SqlExecute(select, {db::TextIn("P1", 9)}, {db::TextOut(tgb, 4)}), 0);
  EXPECT_STREQ(tgb, "new");

  ASSERT_EQ(db::SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=other"), 0);  // OTHER.db
  ASSERT_EQ(db::SqlExecute(select, {db::TextIn("P1", 9)}, {db::TextOut(tgb, 4)}), 0);
  EXPECT_STREQ(tgb, "old");
}

// The refusal is a fault: the pending work is held back, never committed, until the rollback
// takes it; the schema, its handle and the session are untouched and serve the next
// transaction.
TEST_F(SqliteSessionTest, SchemaSwitchWithPendingWorkIsRefusedUntilTheRollback) {
  testDb->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'old')");
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  ASSERT_EQ(db::SqlExecute("update rvk327tag set TagTgb=:b0", {db::TextIn("new", 4)}), 0);
  EXPECT_EQ(db::SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTEST"), db::status::kSessionChangeInTransaction);
  EXPECT_EQ(db::SqlExecute("commit"), db::status::kSessionChangeInTransaction);
  ASSERT_EQ(db::SqlExecute("rollback"), 0);
  EXPECT_EQ(testDb->Scalar("select TagTgb from rvk327tag"), "old");
  EXPECT_EQ(db::SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTEST"), 0);
  ASSERT_EQ(db::SqlExecute("update rvk327tag set TagTgb=:b0", {db::TextIn("nxt", 4)}), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(testDb->Scalar("select TagTgb from rvk327tag"), "nxt");
}

TEST_F(SqliteSessionTest, ServiceDirectoryMayBeRelativeAndLong) {
  std::string dir = Directory(*testDb);
  std::string longLink = dir + "/" + std::string(120, 'l');
#ifdef _WIN32
  GTEST_SKIP() << "MinGW's C++ library makes no directory links";
#endif
  std::filesystem::create_directory_symlink(dir, longLink);
  std::string relative = std::filesystem::relative(longLink).string();
  ASSERT_EQ(Connect("sqlite:" + relative), 0) << relative;
  EXPECT_EQ(db::SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTEST"), 0) << db::SqlLastNativeError();
}

TEST_F(SqliteSessionTest, ServiceThatIsNoDirectoryIsUnresolved) {
  std::string dir = Directory(*testDb);
  for (const std::string& net : {std::string("sqlite:"), "sqlite:" + dir + "/missing", "sqlite:" + dir + "/KTEST.db",
                          "SQLITE:" + dir, dir}) {
    EXPECT_EQ(Connect(net), db::status::kServiceUnresolved) << net;
  }
}

// Without the calendar every date-range request would find no day and delete rows it must
// keep: a directory whose calendar is missing, empty or without its table is refused, and
// a missing one is not created.
TEST_F(SqliteSessionTest, ConnectWithoutCalendarIsRefused) {
  std::string dir = Directory(*testDb) + "/bare";
  std::filesystem::create_directory(dir);
  testDb->Exec("VACUUM INTO '" + dir + "/KTEST.db'");
  std::string calendar = dir + "/RVKSTAMM.db";
  EXPECT_EQ(Connect("sqlite:" + dir), db::status::kNoSuchTable);
  EXPECT_FALSE(std::filesystem::exists(calendar));

  std::ofstream(calendar).close();  // empty
  EXPECT_EQ(Connect("sqlite:" + dir), db::status::kNoSuchTable);
  testDb->Exec("ATTACH '" + calendar + "' AS other; CREATE TABLE other.Rvk133Old (BakDtm TEXT); DETACH other");
  EXPECT_EQ(Connect("sqlite:" + dir), db::status::kNoSuchTable);
  std::ofstream(calendar, std::ios::trunc) << std::string(4096, 'x');  // damaged
  EXPECT_EQ(Connect("sqlite:" + dir), db::status::kBlockCorrupted);
  testDb->Exec("VACUUM RVKSTAMM INTO '" + dir + "/good.db'");
  std::filesystem::rename(dir + "/good.db", calendar);
  ASSERT_EQ(Connect("sqlite:" + dir), 0);
  EXPECT_EQ(db::SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTEST"), 0) << db::SqlLastNativeError();
}

// A fault of the file is told apart from a fault of the statement: a damaged file, a write
// to the calendar (attached read-only, which binds also where the tests run as root), and a
// commit whose log cannot be written (the file size limit stands in for a full disk).
TEST_F(SqliteSessionTest, FaultsOfTheFilesKeepTheirOwnStatus) {
  std::string dir = Directory(*testDb);
  std::ofstream(dir + "/DAMAGED.db") << std::string(4096, '\x5a');
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  EXPECT_EQ(db::SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=damaged"), db::status::kBlockCorrupted);
  ASSERT_EQ(db::SqlExecute("rollback"), 0);  // a fault holds back everything but the rollback
  EXPECT_EQ(db::SqlExecute("insert into RVKSTAMM.Rvk133Bak (BakDtm) values ('2024-01-05 00:00:00')"),
            db::status::kDatabaseReadOnly);
  ASSERT_EQ(db::SqlExecute("rollback"), 0);

#ifndef _WIN32  // Windows has no file size limit to stand in for a full disk
  testDb->Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
               "INSERT INTO Rvk746Err (ErrPlg, ErrLfn) SELECT 'G', i FROM n");
  testDb->Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  const char* update = "update Rvk746Err set ErrErf=:b0";
  ASSERT_EQ(db::SqlExecute(update, {db::TextIn(std::string(50, 'e').c_str(), 51)}), 0);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int commit = db::SqlExecute("commit");
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(commit, db::status::kIoError) << db::SqlLastNativeError();
  EXPECT_EQ(db::SqlExecute("rollback"), 0);
  EXPECT_EQ(testDb->Count("select count(*) from Rvk746Err where ErrErf is not null"), 0);
  ASSERT_EQ(db::SqlExecute(update, {db::TextIn("after", 51)}), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(testDb->Count("select count(*) from Rvk746Err where ErrErf = 'after'"), 4000);
#endif
}

// Five seconds after a stop signal a statement still running is cut short, and a lock held
// by another connection is no longer waited for (else up to ten seconds); before that both
// run as ever.
TEST_F(SqliteSessionTest, DueStopInterruptsTheStatementAndTheWaitForALock) {
  testDb->Exec("CREATE VIEW counting AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
               "WHERE i < 20000000) SELECT i FROM n");
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  auto stopAskedSecondsAgo = [](int64_t seconds) {
    stop_request::Note(SIGTERM);
    stop_request::notedAtNanos.store(stop_request::MonotonicNanos() - seconds * 1'000'000'000);
  };
  auto secondsOf = [](auto run) {
    auto started = std::chrono::steady_clock::now();
    int rc = run();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    return std::make_pair(rc, took.count());
  };
  int32_t count = 0;
  auto countSome = [&] {
    return db::SqlExecute("select count(*) into :b0  from (select i from counting limit 100000)", {},
                          {db::IntOut(count)});
  };
  auto countAll = [&] {
    return db::SqlExecute("select count(*) into :b0  from counting", {}, {db::IntOut(count)});
  };
  auto update = [] { return db::SqlExecute("update rvk327tag set TagTgb=:b0", {db::TextIn("new", 4)}); };

  stopAskedSecondsAgo(1);  // well before the cancel, also on a busy machine
  EXPECT_EQ(countSome(), 0);
  EXPECT_EQ(count, 100000);
  stop_request::notedAtNanos.store(stop_request::MonotonicNanos() - 6'000'000'000);
  auto [counted, countSeconds] = secondsOf(countAll);
  int countFault = db::SqlFault();
  int countRolledBack = db::SqlExecute("rollback");  // each fault holds the session until then
  testDb->Exec("BEGIN IMMEDIATE");
  auto [updated, updateSeconds] = secondsOf(update);
  testDb->Exec("ROLLBACK");
  int updateFault = db::SqlFault();
  int updateRolledBack = db::SqlExecute("rollback");
  stop_request::firstSignal.store(0);
  stop_request::notedAtNanos.store(0);
  EXPECT_EQ(counted, db::status::kCancelled);
  EXPECT_LT(countSeconds, 1.0);
  EXPECT_EQ(countFault, db::status::kCancelled);
  EXPECT_EQ(countRolledBack, 0);
  EXPECT_EQ(updated, db::status::kResourceBusy);
  EXPECT_LT(updateSeconds, 1.0);
  EXPECT_EQ(updateFault, db::status::kResourceBusy);
  EXPECT_EQ(updateRolledBack, 0);

  testDb->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'old')");
  EXPECT_EQ(update(), 0);
  char tgb[4] = "";  // read back as the staffing read locks its row elsewhere
  EXPECT_EQ(db::SqlExecute("select TagTgb into :b0  from rvk327tag where TagPnr=:b1 for update",
                           {db::TextIn("P1", 9)}, {db::TextOut(tgb)}),
            0);
  EXPECT_STREQ(tgb, "new");
  EXPECT_EQ(db::SqlExecute("commit"), 0);
}

// RAISE(ROLLBACK) ends the whole transaction; the session must know it has none any more.
// Its commit reports the loss, for the work done after it too, and is a fault itself.
TEST_F(SqliteSessionTest, TransactionRolledBackAsAWholeIsNoted) {
  testDb->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'old')");
  testDb->Exec("CREATE TRIGGER whole BEFORE INSERT ON Rvk746Err BEGIN SELECT RAISE(ROLLBACK, 'gone'); END");
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  auto update = [](const char* tgb) {
    return db::SqlExecute("update rvk327tag set TagTgb=:b0", {db::TextIn(tgb, 4)});
  };
  auto insert = [] { return db::SqlExecute("insert into Rvk746Err (ErrPlg) values (:b0)", {db::TextIn("G", 6)}); };
  ASSERT_EQ(update("new"), 0);
  EXPECT_NE(insert(), 0);
  ASSERT_EQ(update("aft"), 0);
  EXPECT_EQ(db::SqlExecute("commit"), db::status::kTransactionRolledBack);  // not a success
  EXPECT_EQ(db::SqlFault(), db::status::kTransactionRolledBack);
  EXPECT_EQ(testDb->Scalar("select TagTgb from rvk327tag"), "old");
  ASSERT_EQ(db::SqlExecute("rollback"), 0);
  ASSERT_EQ(update("nxt"), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(testDb->Scalar("select TagTgb from rvk327tag"), "nxt");
}

// An update that sets the key it picks the row by leaves the key out, and so the key's
// indexes, only while that changes nothing: a key moved to another value, or a trigger on
// an update of the key, takes the statement as written.
TEST_F(SqliteSessionTest, UpdateLeavesOutItsKeyOnlyWhereThatChangesNothing) {
  testDb->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'old')");
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  const char* update =
      "update rvk327tag  set TagPnr=:b0,TagTgb=:b1 where (TagPnr=:b2 and TagTag=TO_DATE(:b3,'yyyymmdd'))";
  auto run = [&](const char* to, const char* tgb, const char* from) {
    return db::SqlExecute(update, {db::TextIn(to, 9), db::TextIn(tgb, 4), db::TextIn(from, 9),
                                   db::TextIn("20240105", 9)});
  };
  ASSERT_EQ(run("P1", "one", "P1"), 0);
  ASSERT_EQ(run("P2", "two", "P1"), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(testDb->Scalar("select TagPnr || TagTgb from rvk327tag"), "P2two");

  testDb->Exec("CREATE TRIGGER keyed BEFORE UPDATE OF TagPnr ON rvk327tag BEGIN SELECT RAISE(ABORT, 'key'); END");
  EXPECT_NE(run("P2", "thr", "P2"), 0);
  ASSERT_EQ(db::SqlExecute("rollback"), 0);
  testDb->Exec("DROP TRIGGER keyed");
  ASSERT_EQ(run("P2", "fou", "P2"), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(testDb->Scalar("select TagPnr || TagTgb from rvk327tag"), "P2fou");
}

// SQLite would take these, but the program could not read them back as they are: a day or a
// time that does not exist, year 0, a text longer than the bytes of its field.
TEST_F(SqliteSessionTest, SchemaRefusesDatesThatDoNotExistAndOverlongTexts) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2((Directory(*testDb) + "/KTEST.db").c_str(), &handle,
                            SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  struct Case {
    const char* pnr;
    const char* day;
    bool taken;
  };
  const Case cases[] = {
      {"P1", "2024-02-29 00:00:00", true},      {"P2", "0001-01-01 00:00:00", true},
      {"P3", "9999-12-31 23:59:59", true},      {"P2345678", "2024-01-05 00:00:00", true},
      {"R1", "2026-02-30 00:00:00", false},     {"R2", "2023-02-29 00:00:00", false},
      {"R3", "2026-02-10 25:00:00", false},     {"R4", "2026-02-10 24:00:00", false},
      {"R5", "2026-02-10 23:59:60", false},     {"R6", "0000-01-01 00:00:00", false},
      {"R7", "2026-02-10", false},              {"R23456789", "2024-01-05 00:00:00", false},
      {"R\xc3\xa4" "345678", "2024-01-05 00:00:00", false},  // 8 characters, 9 bytes
  };
  for (const Case& c : cases) {
    std::string sql = std::string("insert into rvk327tag (TagPnr, TagTag) values ('") + c.pnr +
                      "','" + c.day + "')";
    int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr);
    EXPECT_EQ(rc == SQLITE_OK ? SQLITE_OK : sqlite3_extended_errcode(handle),
              c.taken ? SQLITE_OK : SQLITE_CONSTRAINT_CHECK)
        << c.pnr << " " << c.day;
  }
  sqlite3_close(handle);
}

}  // namespace
