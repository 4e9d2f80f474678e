#include "db/odbc/link.h"

#include "db/odbc/error.h"
#include "db/runtime/status.h"

namespace db::odbc {

Link::Link(EnvironmentHandle environment, ConnectionHandle connection, Dialect dialect)
    : environment_(std::move(environment)), connection_(std::move(connection)), dialect_(dialect) {}

int Link::ExecuteControl(const std::string& sql) {
  if (!control_) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &handle))) {
      return Fail(SQL_HANDLE_DBC, connection_.get());
    }
    control_.reset(handle);
  }
  SQLRETURN rc = SQLExecDirect(control_.get(),
                               reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  int result = status::kOk;
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) result = Fail(SQL_HANDLE_STMT, control_.get());
  SQLFreeStmt(control_.get(), SQL_CLOSE);
  return result;
}

int Link::Fail(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic diagnostic = ReadDiagnostic(type, handle);
  lastSqlState_ = diagnostic.sqlState;
  lastError_ = (diagnostic.sqlState.empty() ? std::string("odbc") : diagnostic.sqlState) + " (" +
               std::to_string(diagnostic.native) + "): " + diagnostic.message;
  return StatusFromDiagnostic(dialect_, diagnostic);
}

int Link::FailWith(int status, const std::string& message) {
  lastSqlState_.clear();
  lastError_ = message;
  return status;
}

}  // namespace db::odbc
