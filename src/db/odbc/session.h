#pragma once
// What an ODBC session shares with its statements: the driver's handles, the server's dialect,
// the transaction state and the last failure. Statements hold it weakly, so that one outliving
// its session reports a lost connection instead of touching a closed one. The statements'
// native handles belong here, not to their statements: they are freed before the connection
// closes, whichever goes first.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/odbc/cancel_watch.h"
#include "db/odbc/dialect.h"
#include "db/odbc/handles.h"
#include "db/odbc/transaction.h"
#include "db/runtime/status.h"

namespace db::odbc {

class Statement;

class Link {
 public:
  Link(EnvironmentHandle environment, ConnectionHandle connection, Dialect dialect);
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  SQLHDBC Connection() const { return connection_.get(); }
  Dialect ServerDialect() const { return dialect_; }

  // A new native statement for `owner`, kept until DropStatement(owner) or the session's end.
  // Returns 0 or the status of the failure.
  int NewStatement(const Statement* owner, SQLHSTMT& handle);
  void DropStatement(const Statement* owner) { statements_.erase(owner); }

  // Runs a text without inputs or results (transaction control, session settings).
  int ExecuteControl(const std::string& sql);

  // PostgreSQL: the name of `sql` (markers "$n") prepared on the server, prepared at the first
  // call (in a text of its own: the driver would try to describe a PREPARE among statements
  // with inputs). A failed PREPARE leaves the transaction as it was. Returns 0 or its status.
  // `integer` tells which inputs are integers.
  int ServerStatement(const std::string& sql, const std::vector<bool>& integer, std::string& name);
  // The native statement for texts run directly, once each (allocated at the first call).
  int DirectHandle(SQLHSTMT& handle);

  // Records the driver's diagnostic of the failed call on `handle` as the last native error
  // and returns its status. The first loss of the connection is reported as the driver saw
  // it (-3113 when it broke under the call), every later one as -3114.
  int Fail(SQLSMALLINT type, SQLHANDLE handle);
  // Whether the connection is known to be gone: nothing more is sent on it.
  bool Lost() const { return lost_; }
  // -3114 for a call that finds the connection gone.
  int FailNotConnected() { return FailWith(status::kNotConnected, "the connection to the server is lost"); }
  // Records a failure found without the driver and returns `status`.
  int FailWith(int status, const std::string& message);
  // Makes an earlier failure the last one again (after the calls that took it back).
  void RestoreFailure(const std::string& message, const std::string& sqlState) {
    lastError_ = message;
    lastSqlState_ = sqlState;
  }
  const std::string& LastError() const { return lastError_; }
  // The SQLSTATE of the last failure reported by the driver.
  const std::string& LastSqlState() const { return lastSqlState_; }

  Transaction& Work() { return transaction_; }
  // Where a statement about to execute is marked, so that a stop can cancel it.
  CancelWatch& Watch() { return watch_; }

 private:
  // In this order: the statements go before the connection, the connection before the
  // environment.
  EnvironmentHandle environment_;
  ConnectionHandle connection_;
  std::unordered_map<const Statement*, StatementHandle> statements_;
  StatementHandle direct_;
  std::unordered_map<std::string, std::string> serverStatements_;  // text -> name
  StatementHandle control_;
  Dialect dialect_;
  std::string lastError_;
  std::string lastSqlState_;
  bool lost_ = false;
  Transaction transaction_{*this};
  CancelWatch watch_;  // last: its thread ends before any handle is freed
};

}  // namespace db::odbc
