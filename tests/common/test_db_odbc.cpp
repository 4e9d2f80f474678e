// The ODBC half of the test database fixture: a fresh database per TestDb on the PostgreSQL
// test server, made, inspected and dropped through the ODBC DSN that scripts/pg-test-server.sh
// wrote for it (KESTRUMEL_TEST_ODBC_DSN), as the PostgreSQL half does through libpq. The test
// side has connections of its own, apart from the runtime's, and needs no PostgreSQL library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/postgresql_sql.h"
#include "common/test_db_backends.h"
#include "platform/odbc_api.h"

namespace testing_db {
namespace {

using namespace postgresql_sql;

struct Login {
  std::string dsn;
  std::string user;
  std::string password;
};

bool ReadLogin(Login& login) {
  login = {Env("KESTRUMEL_TEST_ODBC_DSN"), Env("KESTRUMEL_TEST_PG_USER"),
           Env("KESTRUMEL_TEST_PG_PASSWORD")};
  return !login.dsn.empty() && !login.user.empty();
}

// A connection string value, in braces only where ';', braces or outer blanks need them:
// PostgreSQL's driver takes the braces off a password but keeps them in a user name.
std::string Value(const std::string& value) {
  bool plain = !value.empty() && value.find_first_of(";{}") == std::string::npos &&
               value.front() != ' ' && value.back() != ' ';
  if (plain) return value;
  std::string quoted = "{";
  for (char c : value) quoted += c == '}' ? std::string("}}") : std::string(1, c);
  return quoted + "}";
}

// The driver's messages about `handle`, for a failed test's output.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  SQLCHAR state[6];
  SQLCHAR message[1024];
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  for (SQLSMALLINT i = 1; SQL_SUCCEEDED(SQLGetDiagRec(type, handle, i, state, &native, message,
                                                      sizeof message, &length));
       ++i) {
    text += std::string(reinterpret_cast<char*>(state)) + " " +
            reinterpret_cast<char*>(message) + "\n";
  }
  return text;
}

struct EnvironmentDeleter {
  void operator()(SQLHANDLE handle) const { SQLFreeHandle(SQL_HANDLE_ENV, handle); }
};
// Whatever is open is rolled back, as the end of a libpq connection does.
struct ConnectionDeleter {
  void operator()(SQLHANDLE handle) const {
    SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
    SQLDisconnect(handle);
    SQLFreeHandle(SQL_HANDLE_DBC, handle);
  }
};
struct StatementDeleter {
  void operator()(SQLHANDLE handle) const { SQLFreeHandle(SQL_HANDLE_STMT, handle); }
};
using Statement = std::unique_ptr<void, StatementDeleter>;

// One cell of the current row, read in pieces of any length. The driver gives a boolean as
// 1 or 0; it becomes t or f, as libpq gives it.
bool ReadCell(SQLHSTMT statement, SQLUSMALLINT column, bool boolean, Cell& cell) {
  std::string text;
  char buffer[1024];
  SQLLEN length = 0;
  for (;;) {
    SQLRETURN rc = SQLGetData(statement, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) return false;
    if (length == SQL_NULL_DATA) {
      cell.reset();
      return true;
    }
    bool cut = length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof buffer);
    text.append(buffer, cut ? sizeof buffer - 1 : static_cast<size_t>(length));
    if (!cut) break;
  }
  if (boolean && (text == "1" || text == "0")) text = text == "1" ? "t" : "f";
  cell = text;
  return true;
}

bool IsBoolean(SQLHSTMT statement, SQLUSMALLINT column) {
  char name[32] = "";
  SQLColAttribute(statement, column, SQL_DESC_TYPE_NAME, name, sizeof name, nullptr, nullptr);
  return std::string(name) == "bool";
}

// The rows of the result at hand.
bool ReadResult(SQLHSTMT statement, SQLSMALLINT columns, Rows& rows) {
  std::vector<bool> boolean;
  for (SQLUSMALLINT c = 1; c <= columns; ++c) boolean.push_back(IsBoolean(statement, c));
  rows.clear();
  SQLRETURN rc;
  while (SQL_SUCCEEDED(rc = SQLFetch(statement))) {
    std::vector<Cell> row(columns);
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      if (!ReadCell(statement, c, boolean[c - 1], row[c - 1])) return false;
    }
    rows.push_back(std::move(row));
  }
  return rc == SQL_NO_DATA;
}

class OdbcConnection {
 public:
  // Connects to `database` on the DSN's server; null after a reported failure. With
  // `transaction`, work stays open until the connection ends, and is rolled back then.
  static std::unique_ptr<OdbcConnection> Open(const Login& login, const std::string& database,
                                              bool transaction = false) {
    auto connection = std::make_unique<OdbcConnection>();
    if (!connection->Connect(login, database, transaction)) return nullptr;
    return connection;
  }

  // Runs `sql` (one or more statements) and keeps the rows of the last result, as libpq's
  // PQexec does; `rows` null for a command. A failure fails the test.
  bool Run(const std::string& sql, Rows* rows = nullptr) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &handle))) {
      ADD_FAILURE() << "no statement handle: " << Diagnostics(SQL_HANDLE_DBC, connection_.get());
      return false;
    }
    Statement statement(handle);
    SQLRETURN rc = SQLExecDirect(handle, Text(sql), SQL_NTS);
    if (rc == SQL_NO_DATA) rc = SQL_SUCCESS;  // a change of no row
    SQLSMALLINT columns = 0;
    // Every result is read to its end: a later statement's failure shows only there.
    while (SQL_SUCCEEDED(rc)) {
      SQLNumResultCols(handle, &columns);
      if (rows != nullptr && columns > 0 && !ReadResult(handle, columns, *rows)) {
        rc = SQL_ERROR;
        break;
      }
      rc = SQLMoreResults(handle);  // SQL_NO_DATA after the last
    }
    if (rc != SQL_NO_DATA) {
      ADD_FAILURE() << Diagnostics(SQL_HANDLE_STMT, handle) << "  in: " << sql;
      return false;
    }
    if (rows != nullptr && columns == 0) {
      ADD_FAILURE() << "no rows from: " << sql;
      return false;
    }
    return true;
  }

 private:
  static SQLCHAR* Text(const std::string& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
  }

  bool Connect(const Login& login, const std::string& database, bool transaction) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
      ADD_FAILURE() << "no ODBC environment";
      return false;
    }
    environment_.reset(handle);
    SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, handle, &handle))) {
      ADD_FAILURE() << "no ODBC connection handle";
      return false;
    }
    std::string text = "DSN=" + login.dsn + ";Database=" + database + ";UID=" +
                       Value(login.user) + ";PWD=" + Value(login.password) + ";";
    SQLRETURN rc = SQLDriverConnect(handle, nullptr, Text(text), SQL_NTS, nullptr, 0, nullptr,
                                    SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      ADD_FAILURE() << "cannot connect to " << database << " through DSN " << login.dsn << ": "
                    << Diagnostics(SQL_HANDLE_DBC, handle);
      SQLFreeHandle(SQL_HANDLE_DBC, handle);
      return false;
    }
    connection_.reset(handle);
    if (transaction) {
      SQLSetConnectAttr(handle, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                        SQL_IS_UINTEGER);
    }
    return true;
  }

  // Declared first, freed last.
  std::unique_ptr<void, EnvironmentDeleter> environment_;
  std::unique_ptr<void, ConnectionDeleter> connection_;
};

// A connection of its own with a transaction open; its end rolls the transaction back.
class OdbcHeldTransaction : public TestDb::HeldTransaction {
 public:
  explicit OdbcHeldTransaction(std::unique_ptr<OdbcConnection> connection)
      : connection_(std::move(connection)) {}

 private:
  std::unique_ptr<OdbcConnection> connection_;
};

class OdbcTestDb : public TestDb {
 public:
  OdbcTestDb(Login login, std::string schema)
      : login_(std::move(login)), schema_(std::move(schema)), database_(NewDatabaseName()) {}

  ~OdbcTestDb() override {
    connection_.reset();
    if (created_) admin_->Run(DropDatabase(database_));
  }

  bool Init() {
    admin_ = OdbcConnection::Open(login_, "postgres");
    created_ = admin_ != nullptr && admin_->Run(CreateDatabase(database_));
    if (!created_) return false;
    connection_ = OdbcConnection::Open(login_, database_);
    if (connection_ == nullptr) return false;
    for (const std::string& sql : SchemaSetup(schema_)) {
      if (!connection_->Run(sql)) return false;
    }
    return true;
  }

  std::string NetService() const override {
    return "odbc:DSN=" + login_.dsn + ";Database=" + database_;
  }
  std::string User() const override { return login_.user; }
  std::string Password() const override { return login_.password; }
  std::string Schema() const override { return schema_; }

  void Exec(const std::string& sql) override {
    if (connection_ != nullptr) connection_->Run(sql);
  }

  Rows Query(const std::string& sql) override {
    Rows rows;
    if (connection_ != nullptr) connection_->Run(sql, &rows);
    return rows;
  }

  std::unique_ptr<HeldTransaction> Hold(const std::string& sql) override {
    auto connection = OdbcConnection::Open(login_, database_, true);
    if (connection == nullptr || !connection->Run(SessionSettings(schema_) + "; " + sql)) {
      return nullptr;
    }
    return std::make_unique<OdbcHeldTransaction>(std::move(connection));
  }

  void FailOn(const std::string& table, const std::string& operation) override {
    Exec(FailOnTrigger(table, operation));
  }

 private:
  Login login_;
  std::string schema_;
  std::string database_;
  std::unique_ptr<OdbcConnection> admin_;       // on database postgres: creates and drops
  std::unique_ptr<OdbcConnection> connection_;  // on the test database, in the test schema
  bool created_ = false;
};

std::unique_ptr<TestDb> CreateOdbcTestDb(const std::string& schema) {
  Login login;
  if (!ReadLogin(login)) {
    ADD_FAILURE() << "no ODBC DSN for the PostgreSQL test server (scripts/pg-test-server.sh start"
                     " with odbc-postgresql installed)";
    return nullptr;
  }
  auto db = std::make_unique<OdbcTestDb>(std::move(login), schema);
  if (!db->Init()) return nullptr;
  return db;
}

// With the server required, ODBC stays in the list even without its DSN, so that its tests
// fail in Create instead of disappearing.
bool DsnGiven() {
  return !Env("KESTRUMEL_TEST_ODBC_DSN").empty() || Env("KESTRUMEL_REQUIRE_PG") == "1";
}

const TestDbRegistration kRegistration({"odbc", DsnGiven, CreateOdbcTestDb});

}  // namespace

}  // namespace testing_db
