// Connecting, switching the schema, and the status of each class of failure.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/child_body.h"
#include "runtime_fixture.h"

namespace {

class SessionTest : public RuntimeTest {};
INSTANTIATE_BACKEND_TEST(SessionTest);

using db::SqlExecute;
using db::TextIn;
namespace status = db::status;

// Arguments: TestDb::ConnectArguments, a flag. Updates P1, raises the flag once it holds the
// write lock, and waits to be killed.
int LockHolderBody(const std::vector<std::string>& args) {
  if (args.size() != 5) return 125;
  if (testing_db::ConnectRuntimeAs(args) != 0) return 1;
  if (SqlExecute(kUpdateTgb, {TextIn("h", 4), TextIn("P1", 9)}) != 0) return 2;
  testing_child::Raise(args[4]);
  std::this_thread::sleep_for(std::chrono::seconds(60));  // killed by the parent long before
  return 3;
}

const testing_child::Registration kLockHolder("runtime-lock-holder", &LockHolderBody);

TEST_P(SessionTest, ConnectRefusesMissingCredentialsAndUnknownServices) {
  db::SqlDisconnect();
  struct Case {
    std::string user, password, net;
    int expected;
  };
  std::vector<Case> cases = {
      {db->User(), "", db->NetService(), status::kPasswordMissing},
      {"", db->Password(), db->NetService(), status::kLogonDenied},
      {"", db->Password(), "nowhere:KTEST", status::kLogonDenied},  // before the service
      {db->User(), db->Password(), "", status::kServiceUnresolved},
      {db->User(), db->Password(), "nowhere:KTEST", status::kServiceUnresolved},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db::SqlConnect(c.user.c_str(), c.password.c_str(), c.net.c_str()), c.expected)
        << "user '" << c.user << "' password '" << c.password << "' net '" << c.net << "'";
    EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("x", 4), TextIn("P1", 9)}), status::kNotConnected);
    db::SqlCursor cursor;
    EXPECT_EQ(db::SqlOpen(cursor, kSelectTgb, {TextIn("P1", 9)}), status::kNotConnected);
  }
}

TEST_P(SessionTest, SchemaMustExistAndBeAPlainName) {
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=NOSUCHSCHEMA"), status::kSchemaUnknown);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTEST; drop table rvk327tag"),
            status::kInvalidCharacter);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=\"KTEST\""), status::kInvalidCharacter);
  EXPECT_EQ(db->Count("select count(*) from rvk327tag"), 0);  // the table is still there
}

// Each class of failure, with the status a table module sees.
TEST_P(SessionTest, FailuresCarryTheirOracleStatus) {
  InsertTag("P1", "2024-01-05", "abc");
  InsertTag("P2", "2024-01-05", "abc");
  char text[8] = "";
  int32_t number = 0;
  struct Case {
    const char* what;
    std::function<int()> run;
    int expected;
    bool fault = false;  // held until the rollback, which the next case needs
  };
  const Case cases[] = {
      {"duplicate key",
       [&] { return SqlExecute(kInsertTag, {TextIn("P1", 9), TextIn("20240105", 11), TextIn("x", 4)}); },
       status::kUniqueViolated},
      {"NULL into NOT NULL (empty text)",
       [&] { return SqlExecute(kInsertTag, {TextIn("", 9), TextIn("20240105", 11), TextIn("x", 4)}); },
       status::kNotNullViolated},
      {"unknown table",
       [&] { return SqlExecute("select count(*)  into :b0  from Rvk999Xyz", {}, {db::IntOut(number)}); },
       status::kNoSuchTable, true},
      {"unknown column",
       [&] { return SqlExecute("select TagXyz into :b0  from rvk327tag where TagPnr=:b1",
                               {TextIn("P1", 9)}, {db::TextOut(text, 8)}); },
       status::kInvalidIdentifier, true},
      {"no row", [&] { return SqlExecute(kSelectTgb, {TextIn("P9", 9)}, {db::TextOut(text, 8, true)}); },
       status::kNoData},
      {"two rows",
       [&] { return SqlExecute("select TagTgb into :b0:b1  from rvk327tag where TagTgb=:b2",
                               {TextIn("abc", 4)}, {db::TextOut(text, 8, true)}); },
       status::kTooManyRows},
      {"update of no row", [&] { return SqlExecute(kUpdateTgb, {TextIn("x", 4), TextIn("P9", 9)}); },
       status::kNoData},
      {"a savepoint on its own", [&] { return SqlExecute("savepoint Some_Sp"); },
       status::kSavepointUnknown, true},
      {"a rollback to it on its own", [&] { return SqlExecute("rollback  to Some_Sp"); },
       status::kSavepointUnknown, true},
      {"days added to a date column",
       [&] { return SqlExecute("select TagTgb into :b0:b1  from rvk327tag where TagTag+1=TO_DATE(:b2,'yyyymmdd')",
                               {TextIn("20240106", 11)}, {db::TextOut(text, 8, true)}); },
       status::kInconsistentDatatypes, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run(), c.expected) << c.what << ": " << db::SqlLastNativeError();
    EXPECT_EQ(db::SqlFault(), c.fault ? c.expected : 0) << c.what;
    if (c.fault) {
      EXPECT_EQ(SqlExecute("rollback"), 0) << c.what;
    }
  }
  EXPECT_EQ(db::SqlFault(), 0);
}

TEST_P(SessionTest, TriggerRaisedErrorIsApplicationError) {
  db->FailOn("Rvk746Err", "insert");
  EXPECT_EQ(SqlExecute("insert into Rvk746Err (ErrPlg,ErrDat) values (:b0,sysdate)", {TextIn("G1", 6)}),
            status::kTriggerRaised);
  EXPECT_NE(db::SqlLastNativeError().find("injected"), std::string::npos) << db::SqlLastNativeError();
}

// The failure seam makes a chosen call fail without touching the database. What it injects
// counts as the real fault would: held until the rollback, which takes the earlier update too.
TEST_P(SessionTest, FaultSeamFailsTheChosenCallOnly) {
  InsertTag("P1", "2024-01-05", "abc");
  db::FaultSeam_Arm(db::FaultOp::Execute, "set TagTgb", 2, -3113);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("a", 4), TextIn("P1", 9)}), 0);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("b", 4), TextIn("P1", 9)}), -3113);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("c", 4), TextIn("P1", 9)}), -3113);  // unsent
  EXPECT_EQ(db::SqlFault(), -3113);
  ASSERT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("d", 4), TextIn("P1", 9)}), 0);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("e", 4), TextIn("P1", 9)}), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "e");
}

// Another process holds the write lock past the busy timeout.
TEST_P(SessionTest, LockHeldByAnotherProcessIsResourceBusy) {
  InsertTag("P1", "2024-01-05", "abc");
  db::SqlDisconnect();
  testing_child::Flag ready;
  std::vector<std::string> args = db->ConnectArguments();
  args.push_back(ready.Path());
  auto holder = testing_child::Start("runtime-lock-holder", args);
  ASSERT_TRUE(ready.WaitRaised(std::chrono::seconds(30)));
  ASSERT_EQ(db->ConnectRuntime(), 0);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("p", 4), TextIn("P1", 9)}), status::kResourceBusy);
  holder->Kill();
  holder->Wait();
  // The lock is free now, but the transaction that met the fault must go back first.
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("p", 4), TextIn("P1", 9)}), status::kResourceBusy);
  EXPECT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(SqlExecute(kUpdateTgb, {TextIn("p", 4), TextIn("P1", 9)}), 0) << db::SqlLastNativeError();
  EXPECT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(TagTgb("P1"), "p");
}

}  // namespace

