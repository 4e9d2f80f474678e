#pragma once
// What an ODBC session holds: the driver's handles, the dialect, the transaction and the last
// failure. Each text it sends is prepared once on a statement kept until the connection closes.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/dialect/dialect.h"
#include "db/odbc/cancel_watch.h"
#include "db/odbc/handles.h"
#include "db/odbc/statement.h"
#include "db/runtime/backend.h"
#include "db/status.h"

namespace db::odbc {

// A text prepared on the driver, with the column types of its result once read and the
// buffers its inputs are bound to.
struct PreparedText {
  StatementHandle handle;
  std::vector<bool> integerColumns;
  bool described = false;
  std::vector<ColumnBuffer> columns;  // bound at the first result, if the driver allows
  BoundInputs inputs;
};

class Link {
 public:
  // `ownRollback`: failed statements are taken back by the program's transaction model, not
  // by the driver (PostgreSQL's driver, which would spend a round trip on each).
  Link(EnvironmentHandle environment, ConnectionHandle connection, const dialect::Dialect& dialect,
       bool ownRollback);
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  SQLHDBC Connection() const { return connection_.get(); }
  const dialect::Dialect& ServerDialect() const { return dialect_; }
  bool OwnRollback() const { return ownRollback_; }
  // The schema the last schema switch made current, as the server keeps its name ("" before
  // any): the catalog is asked for it by that name.
  const std::string& SwitchedSchema() const { return switchedSchema_; }
  void SetSwitchedSchema(std::string schema) { switchedSchema_ = std::move(schema); }

  // A statement handle of the connection; the failure recorded.
  int NewStatement(StatementHandle& statement);
  // `sql` prepared on a statement of its own at its first use. Null on failure, recorded.
  PreparedText* Prepared(const std::string& sql, int& status);

  // Runs a text without inputs or results (transaction control, session settings).
  int ExecuteControl(const std::string& sql);
  // The same for a text run again and again (savepoint commands): prepared once.
  int ExecutePreparedControl(const std::string& sql);
  // A savepoint command held back to go out in front of the next one, and taking it.
  void HoldBack(const std::string& sql) {
    if (!heldBack_.empty()) heldBack_ += ';';
    heldBack_ += sql;
  }
  std::string TakeHeldBack() { return std::exchange(heldBack_, std::string()); }
  // Autocommit off opens a transaction, on ends it; a client-side switch, no round trip.
  int SetAutocommit(bool on);
  // Ends the open transaction and goes back to autocommit.
  int EndTransaction(bool commit);
  bool InTransaction() const { return inTransaction_; }

  // Records the diagnostic of the failed call on `handle` and returns its status: the first loss
  // of the connection as the driver saw it (-3113 when it broke under the call), later ones -3114.
  int Fail(SQLSMALLINT type, SQLHANDLE handle);
  // Whether the connection is known to be gone: nothing more is sent on it.
  bool Lost() const { return lost_; }
  // -3114 for a call that finds the connection gone.
  int FailNotConnected() { return FailWith(status::kNotConnected, "the connection to the server is lost"); }
  // Records a failure found without the driver and returns `status`.
  int FailWith(int status, const std::string& message);
  const std::string& LastError() const { return lastError_; }
  // The SQLSTATE of the last failure reported by the driver.
  const std::string& LastSqlState() const { return lastSqlState_; }

  // Where a statement about to execute is marked, so that a stop can cancel it.
  CancelWatch& Watch() { return watch_; }

 private:
  // In this order: statements are freed before the connection, that before the environment.
  EnvironmentHandle environment_;
  ConnectionHandle connection_;
  std::unordered_map<std::string, PreparedText> prepared_;
  StatementHandle control_;
  const dialect::Dialect& dialect_;
  bool ownRollback_;
  std::string switchedSchema_;
  bool inTransaction_ = false;
  std::string heldBack_;
  std::string lastError_;
  std::string lastSqlState_;
  bool lost_ = false;
  CancelWatch watch_;  // last: its thread ends before any handle is freed
};

// What the driver tells of the connection for `item` (SQLGetInfo), "" when it tells nothing.
std::string DriverInfo(SQLHDBC connection, SQLUSMALLINT item);

// Runs a query of the dialect's own with text inputs, as the program's statements run.
int RunQuery(Link& link, const std::string& sql, const std::vector<std::string>& inputs,
             SqlRows& rows);

// The link of a session this backend opened.
Link& LinkOf(BackendSession& session);

// The commands of the transaction model as texts for the driver. A statement goes alone in its
// text, prepared once, its inputs bound (PostgreSQL's driver would write them into a text of
// several statements). On PostgreSQL's own driver savepoint commands side by side share a text
// and the releases after a statement wait for the next one's, costing no round trip; elsewhere
// each goes alone. Begin, commit and rollback are the driver's own calls. As BackendSession::Send.
int SendCommands(Link& link, std::span<const Command> commands, std::vector<StepResult>& results,
                 size_t& done);

// Opening the connection: the driver manager finds the driver by the connection string, the
// driver's server decides the dialect.
// The server behind the driver by its SQL_DBMS_NAME: 0 and its dialect, or -12154 for a server
// this program has no dialect for.
int DialectFromDbmsName(std::string_view dbmsName, const dialect::Dialect*& dialect);

// Whether the driver manager's lists tell that `connectionString` reaches PostgreSQL's own
// driver: the library of its DSN's driver and of its Driver both named so. False where they do
// not tell (no DSN or Driver, a file DSN, a list cut short).
bool ReachesPostgresDriver(SQLHENV environment, std::string_view connectionString);

// Returns 0 and the link (a read-only one cannot change anything), or the status of the failure
// (-12154 for a connection string carrying credentials or an unknown server, else the server's
// refusal) with the driver's message in `failure`. `user`, `password` and `netService` are
// not empty.
int OpenLink(const char* user, const char* password, const char* netService, Access access,
             std::shared_ptr<Link>& link, std::string& failure);

// The one translation from the driver's reports to the Oracle statuses of status.h. Oracle's
// driver gives the ORA number as the native error; PostgreSQL's gives the server's SQLSTATE,
// read by the PostgreSQL dialect's table.
struct Diagnostic {
  std::string sqlState;  // five characters, "" when the driver gave none
  int32_t native = 0;
  std::string message;
};

// The first diagnostic record of `handle` (of handle type `type`).
Diagnostic ReadDiagnostic(SQLSMALLINT type, SQLHANDLE handle);

// The status of a failed statement.
int StatusFromDiagnostic(const dialect::Dialect& dialect, const Diagnostic& diagnostic);

// The status of a failed connect, whose server is not known yet.
int StatusFromConnectFailure(const Diagnostic& diagnostic);

}  // namespace db::odbc
