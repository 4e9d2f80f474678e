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

#include "db/odbc/dialect.h"
#include "db/odbc/handles.h"
#include "db/odbc/transaction.h"

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
  // and returns its status.
  int Fail(SQLSMALLINT type, SQLHANDLE handle);
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
  Transaction transaction_{*this};
};

}  // namespace db::odbc
