// What is the ODBC backend's own: the connection string it builds, the dialect it picks by the
// server's name, and how the drivers' errors become statuses. The runtime's behaviour through
// it is the parameterised suites' business (backend "odbc").
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "common/test_db.h"
#include "db/connect.h"
#include "db/odbc/connection_string.h"
#include "db/dialect/dialect.h"
#include "db/odbc/session.h"
#include "platform/odbc_api.h"
#include "db/runtime/backend.h"
#include "db/catalog/catalog.h"
#include "db/runtime/runtime.h"
#include "db/status.h"

// windows.h, through the ODBC headers, names a drawing function TextOut by a macro.
#undef TextOut

namespace {

namespace odbc = db::odbc;
namespace status = db::status;
using Dialect = db::dialect::Dialect;

TEST(OdbcConnectionString, CredentialsAreAppendedQuotedAndNeverTakenFromTheName) {
  struct Case {
    const char* net;
    const char* user;
    const char* password;
    int expected;
    const char* built;
  };
  const Case cases[] = {
      {"odbc:DSN=suite", "scott", "tiger", 0, "DSN=suite;UID=scott;PWD=tiger;"},
      {"odbc:DSN=suite;", "scott", "a;b}c{d", 0, "DSN=suite;UID=scott;PWD={a;b}}c{d};"},
      {"odbc:DRIVER={Oracle 19 ODBC driver};DBQ=db", " sp ace", "}", 0,
       "DRIVER={Oracle 19 ODBC driver};DBQ=db;UID={ sp ace};PWD={}}};"},
      // A key inside a braced value is no key.
      {"odbc:DRIVER={x;UID=y};DSN=suite", "u", "p", 0, "DRIVER={x;UID=y};DSN=suite;UID=u;PWD=p;"},
      {"odbc:DSN=suite;UID=other", "u", "p", status::kServiceUnresolved, ""},
      {"odbc:DSN=suite; pwd = {x}", "u", "p", status::kServiceUnresolved, ""},
      {"odbc:Password=x;DSN=suite", "u", "p", status::kServiceUnresolved, ""},
      {"odbc:DRIVER={a}}b};Username=x", "u", "p", status::kServiceUnresolved, ""},
      {"odbc:", "u", "p", status::kServiceUnresolved, ""},
      {"odbc:  ", "u", "p", status::kServiceUnresolved, ""},
  };
  for (const Case& c : cases) {
    std::string built;
    EXPECT_EQ(odbc::BuildConnectionString(c.net, c.user, c.password, built), c.expected) << c.net;
    if (c.expected == 0) {
      EXPECT_EQ(built, c.built) << c.net;
    }
  }
  // Refused before any driver is looked for.
  EXPECT_EQ(db::SqlConnect("u", "p", "odbc:DSN=suite;UID=other"), status::kServiceUnresolved);
}

TEST(OdbcDialect, FollowsTheServerAndRefusesOthers) {
  struct Case {
    const char* dbmsName;
    int expected;
    const Dialect* dialect;
  };
  const Case cases[] = {
      {"Oracle", 0, &db::dialect::Oracle()},
      {"PostgreSQL", 0, &db::dialect::Postgres()},
      {"Microsoft SQL Server", status::kServiceUnresolved, nullptr},
      {"MySQL", status::kServiceUnresolved, nullptr},
      {"", status::kServiceUnresolved, nullptr},
  };
  for (const Case& c : cases) {
    const Dialect* dialect = nullptr;
    EXPECT_EQ(odbc::DialectFromDbmsName(c.dbmsName, dialect), c.expected) << c.dbmsName;
    if (c.expected == 0) {
      EXPECT_EQ(dialect, c.dialect) << c.dbmsName;
    }
  }
  const std::string body = "update T set d=sysdate, e=TO_DATE(?,'yyyymmdd')+? where f='?'";
  const auto question = db::dialect::Markers::Question;
  db::dialect::DialectText oracle = db::dialect::Oracle().Adapt(body, 2, question);
  EXPECT_EQ(oracle.sql, body);  // Oracle takes the program's statements as they stand
  EXPECT_EQ(db::dialect::Oracle().TypedText(oracle.sql, {false, true}), body);
  db::dialect::DialectText postgres = db::dialect::Postgres().Adapt(body, 2, question);
  EXPECT_EQ(db::dialect::Postgres().TypedText(postgres.sql, {false, true}),
            "update T set d=date_trunc('second',statement_timestamp()::timestamp), "
            "e=?::date+?::int4 where f='?'");
  EXPECT_EQ(postgres.parameterCount, 2);
  ASSERT_EQ(postgres.dateInputs.size(), 1u);
}

TEST(OdbcErrors, NativeNumbersAndStatesBecomeStatuses) {
  struct Case {
    const Dialect* dialect;
    odbc::Diagnostic diagnostic;
    int expected;
  };
  const Dialect* oracle = &db::dialect::Oracle();
  const Dialect* postgres = &db::dialect::Postgres();
  const Case cases[] = {
      {oracle, {"23000", 1, "ORA-00001: unique constraint violated"}, status::kUniqueViolated},
      {oracle, {"23000", 1400, "ORA-01400: cannot insert NULL"}, status::kNotNullViolated},
      {oracle, {"42S02", 942, "ORA-00942: table or view does not exist"}, status::kNoSuchTable},
      {oracle, {"HY000", 54, "ORA-00054: resource busy"}, status::kResourceBusy},
      {oracle, {"40001", 60, "ORA-00060: deadlock detected"}, status::kDeadlock},
      {oracle, {"22008", 1847, "ORA-01847: day of month"}, status::kDayOfMonthInvalid},
      {oracle, {"HY000", 12899, "ORA-12899: value too large"}, status::kValueTooLarge},
      {oracle, {"HY000", 20000, "ORA-20000: raised"}, status::kTriggerRaised},
      {oracle, {"HY000", 1403, "ORA-01403: no data found"}, status::kNoData},
      {oracle, {"08S01", 0, "communication link failure"}, status::kEndOfFileOnChannel},
      {oracle, {"08003", 0, "connection not open"}, status::kNotConnected},
      {oracle, {"HYT00", 0, "timeout expired"}, status::kCancelled},
      {oracle, {"HY008", 0, "operation canceled"}, status::kCancelled},
      {oracle, {"HY000", 3113, "ORA-03113: end-of-file"}, status::kEndOfFileOnChannel},
      {oracle, {"HY001", 0, "memory allocation error"}, status::kInternal},
      {postgres, {"23505", 1, "duplicate key"}, status::kUniqueViolated},
      {postgres, {"40P01", 7, "deadlock detected"}, status::kDeadlock},
      {postgres, {"40001", 7, "could not serialize access"}, status::kSerializationFailure},
      {postgres, {"08S01", 35, "could not send"}, status::kEndOfFileOnChannel},
      {postgres, {"08003", 0, "connection not open"}, status::kNotConnected},
      {postgres, {"HY008", 0, "operation canceled"}, status::kCancelled},
      {postgres, {"57014", 7, "canceling statement due to user request"}, status::kCancelled},
      {postgres, {"57P01", 7, "terminating connection"}, status::kEndOfFileOnChannel},
      {postgres, {"25006", 7, "read-only transaction"}, status::kDatabaseReadOnly},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(odbc::StatusFromDiagnostic(*c.dialect, c.diagnostic), c.expected)
        << c.diagnostic.message;
  }
  const odbc::Diagnostic refusals[] = {
      {"IM002", 0, "Data source name not found and no default driver specified"},
      {"28000", 1017, "ORA-01017: invalid username/password; logon denied"},
      {"08001", 12154, "ORA-12154: TNS:could not resolve the connect identifier"},
      {"08001", 101, "FATAL:  password authentication failed for user \"u\""},
      {"08001", 101, "FATAL:  database \"x\" does not exist"},
      {"08001", 101, "connection to server at \"127.0.0.1\", port 1 failed: Connection refused"},
      {"08001", 101, "FATAL:  the database system is starting up"},
      {"08001", 101, "connection to server failed: session is read-only"},
  };
  const int expected[] = {status::kServiceUnresolved, status::kLogonDenied,
                          status::kServiceUnresolved, status::kLogonDenied,
                          status::kServiceUnresolved, status::kNoListener,
                          status::kStartingOrShuttingDown, status::kDatabaseReadOnly};
  for (size_t i = 0; i < std::size(refusals); ++i) {
    EXPECT_EQ(odbc::StatusFromConnectFailure(refusals[i]), expected[i]) << refusals[i].message;
  }
}

// A password that needs the braces, through the real driver: it arrives whole.
TEST(OdbcConnect, QuotedPasswordReachesTheServer) {
  const testing_db::Backend odbcBackend{"odbc"};
  auto backends = testing_db::TestBackends();
  if (std::find(backends.begin(), backends.end(), odbcBackend) == backends.end()) {
    GTEST_SKIP() << "no ODBC DSN for the PostgreSQL test server";
  }
  auto database = testing_db::TestDb::Create(odbcBackend);
  ASSERT_NE(database, nullptr);
  const std::string role = "kt_odbc_" + std::to_string(getpid());
  const std::string password = "a;b}c{d }";
  database->Exec("CREATE ROLE " + role + " LOGIN PASSWORD '" + password + "'");
  EXPECT_EQ(db::SqlConnect(role.c_str(), password.c_str(), database->NetService().c_str()), 0)
      << db::SqlLastNativeError();
  db::SqlDisconnect();
  EXPECT_EQ(db::SqlConnect(role.c_str(), "a;b}c{d", database->NetService().c_str()),
            status::kLogonDenied);
  database->Exec("DROP ROLE " + role);
}

// PostgreSQL's driver is known from the driver manager's lists before the connect, so that it
// is set up in one connect; any other driver named beside it, or none, leaves it unknown.
TEST(OdbcConnect, KnowsPostgresDriverBeforeTheConnect) {
  const char* set = std::getenv("KESTRUMEL_TEST_ODBC_DSN");
  const std::string dsn = set != nullptr ? set : "";
  if (dsn.empty()) GTEST_SKIP() << "no ODBC DSN for the PostgreSQL test server";
  SQLHENV environment = SQL_NULL_HANDLE;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)));
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  EXPECT_TRUE(odbc::ReachesPostgresDriver(environment, "DSN=" + dsn + ";Database=x;"));
  EXPECT_TRUE(odbc::ReachesPostgresDriver(environment, "dsn = {" + dsn + "};"));
  EXPECT_TRUE(odbc::ReachesPostgresDriver(environment, "Driver=/opt/pg/lib/psqlodbca.so;"));
  EXPECT_FALSE(odbc::ReachesPostgresDriver(environment, "DSN=" + dsn + ";Driver=/opt/libother.so;"));
  EXPECT_FALSE(odbc::ReachesPostgresDriver(environment, "Driver={No such driver};"));
  EXPECT_FALSE(odbc::ReachesPostgresDriver(environment, "DSN=no_such_dsn;"));
  EXPECT_FALSE(odbc::ReachesPostgresDriver(environment, "FILEDSN=/tmp/x.dsn;"));
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

// A text comes back as stored, whatever the driver's line feed conversion (on by default in its
// Windows build, asked for here in the connection string).
TEST(OdbcConnect, TextComesBackAsStoredWhateverTheLineFeedConversion) {
  const testing_db::Backend odbcBackend{"odbc"};
  auto backends = testing_db::TestBackends();
  if (std::find(backends.begin(), backends.end(), odbcBackend) == backends.end()) {
    GTEST_SKIP() << "no ODBC DSN for the PostgreSQL test server";
  }
  auto database = testing_db::TestDb::Create(odbcBackend);
  ASSERT_NE(database, nullptr);
  const std::string net = database->NetService() + ";LFConversion=1";
  ASSERT_EQ(dbConnect(database->User().c_str(), database->Password().c_str(), net.c_str(),
                      database->Schema().c_str()),
            0) << db::SqlLastNativeError();
  ASSERT_EQ(db::SqlExecute("insert into rvk327tag (TagPnr,TagTag,TagTgb) values "
                           "(:b0,TO_DATE(:b1,'yyyymmdd'),:b2)",
                           {db::TextIn("P1", 9), db::TextIn("20240105", 11), db::TextIn("a\nb", 4)}),
            0) << db::SqlLastNativeError();
  char tgb[4] = "";
  ASSERT_EQ(db::SqlExecute("select TagTgb into :b0 from rvk327tag where TagPnr=:b1",
                           {db::TextIn("P1", 9)}, {db::TextOut(tgb, 4)}),
            0) << db::SqlLastNativeError();
  EXPECT_STREQ(tgb, "a\nb");
  db::SqlExecute("rollback");
  db::SqlDisconnect();
}

// The catalog a check reads, through the real driver on a read-only connection: the driver
// ignores the access mode, the server must refuse the change all the same.
TEST(OdbcCatalog, ReadsTheCatalogAndRefusesChangesWhenReadOnly) {
  using Kind = db::CatalogColumn::Kind;
  const testing_db::Backend odbcBackend{"odbc"};
  auto backends = testing_db::TestBackends();
  if (std::find(backends.begin(), backends.end(), odbcBackend) == backends.end()) {
    GTEST_SKIP() << "no ODBC DSN for the PostgreSQL test server";
  }
  auto database = testing_db::TestDb::Create(odbcBackend);
  ASSERT_NE(database, nullptr);
  database->Exec("CREATE INDEX Rvk740Pud_Expr ON Rvk740Pud (lower(PudErf), PudDat)");
  database->Exec("CREATE TABLE Rvk_X (Nr numeric(5,0), Betrag numeric(7,2), Kz varchar(8))");
  ASSERT_EQ(dbConnect(database->User().c_str(), database->Password().c_str(),
                      database->NetService().c_str(), database->Schema().c_str(), db::Access::ReadOnly),
            0) << db::SqlLastNativeError();

  std::vector<db::CatalogColumn> columns;
  ASSERT_EQ(db::SqlColumns("", "Rvk740Pud", columns), 0) << db::SqlLastNativeError();
  ASSERT_EQ(columns.size(), 8u);
  EXPECT_EQ(columns[0].name, "pudpnr");
  EXPECT_EQ(columns[0].kind, Kind::Text);
  EXPECT_EQ(columns[1].kind, Kind::Date);
  EXPECT_EQ(columns[2].kind, Kind::Integer);
  ASSERT_EQ(db::SqlColumns("", "RVK_X", columns), 0) << db::SqlLastNativeError();
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].kind, Kind::Integer);
  EXPECT_EQ(columns[1].kind, Kind::Other);
  EXPECT_EQ(columns[2].type, "varchar(8)");
  ASSERT_EQ(db::SqlColumns("RVKSTAMM", "Rvk133Bak", columns), 0) << db::SqlLastNativeError();
  EXPECT_EQ(columns.at(0).kind, Kind::Date);
  EXPECT_EQ(db::SqlColumns("", "RvkX", columns), db::status::kNoSuchTable);  // '_' is no pattern
  EXPECT_TRUE(columns.empty());

  std::vector<std::vector<std::string>> indexes;
  ASSERT_EQ(db::SqlIndexes("", "Rvk740Pud", indexes), 0) << db::SqlLastNativeError();
  using Index = std::vector<std::string>;
  EXPECT_NE(std::find(indexes.begin(), indexes.end(), Index{"puddat", "pudpnr", "puddtm", "pudtyp"}),
            indexes.end());
  EXPECT_NE(std::find(indexes.begin(), indexes.end(), Index{"", "puddat"}), indexes.end());
  ASSERT_EQ(db::SqlIndexes("RVKSTAMM", "Rvk133Bak", indexes), 0) << db::SqlLastNativeError();
  EXPECT_EQ(indexes, std::vector<Index>{Index{"bakdtm"}});
  EXPECT_EQ(db::SqlIndexes("", "Rvk999Xyz", indexes), db::status::kNoSuchTable);

  db::TablePrivileges granted;
  ASSERT_EQ(db::SqlPrivileges("", "Rvk740Pud", granted), 0) << db::SqlLastNativeError();
  EXPECT_TRUE(granted.select && granted.insert && granted.update && granted.remove);
  EXPECT_EQ(db::SqlPrivileges("", "Rvk999Xyz", granted), db::status::kNoSuchTable);

  const char* update = "update Rvk740Pud set PudTyp=:b0 where PudDat=TO_DATE(:b1,'yyyymmddHH24MISS')";
  EXPECT_EQ(db::SqlDescribe(update), 0) << db::SqlLastNativeError();
  EXPECT_EQ(db::SqlDescribe("update Rvk740Pud set PudNix=:b0"), db::status::kInvalidIdentifier);
  EXPECT_NE(db::SqlLastNativeError().find("pudnix"), std::string::npos) << db::SqlLastNativeError();
  EXPECT_EQ(db::SqlDescribe("select PudTyp into :b0 from Rvk999Xyz"), db::status::kNoSuchTable);
  EXPECT_EQ(db::SqlDescribe("select BakJhr into :b0 from RVKSTAMM.Rvk133Bak where "
                            "BakDtm=(TO_DATE(:b1,'yyyymmdd')+:b2)"),
            0) << db::SqlLastNativeError();

  EXPECT_EQ(db::SqlExecute(update, {db::IntIn(1), db::TextIn("20240301070000", 15)}),
            db::status::kDatabaseReadOnly);
  db::SqlExecute("rollback");
  ASSERT_EQ(database->ConnectRuntime(), 0);
  EXPECT_EQ(db::SqlExecute(update, {db::IntIn(1), db::TextIn("20240301070000", 15)}), db::status::kNoData);
  db::SqlDisconnect();
}

}  // namespace
