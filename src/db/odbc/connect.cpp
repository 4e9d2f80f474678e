#include "db/odbc/connect.h"

#include <string>

#include "db/odbc/connection_string.h"
#include "db/odbc/error.h"
#include "db/runtime/status.h"

namespace db::odbc {
namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 30;

// A row locked by another session is waited for as long as on the native backend, then the
// statement fails with "resource busy" instead of hanging the run.
constexpr const char* kPostgresSessionSettings = "SET lock_timeout = 10000";

SQLPOINTER Number(SQLULEN value) { return reinterpret_cast<SQLPOINTER>(value); }

int NewEnvironment(EnvironmentHandle& environment) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) return status::kInternal;
  environment.reset(handle);
  if (!SQL_SUCCEEDED(SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, Number(SQL_OV_ODBC3), 0))) {
    return status::kInternal;
  }
  return status::kOk;
}

// Traces would write every statement, the login included, to a file: off, whatever the
// driver manager's configuration says.
int NewConnection(SQLHENV environment, ConnectionHandle& connection) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &handle))) return status::kInternal;
  connection.reset(handle);
  SQLSetConnectAttr(handle, SQL_ATTR_TRACE, Number(SQL_OPT_TRACE_OFF), SQL_IS_UINTEGER);
  SQLSetConnectAttr(handle, SQL_ATTR_LOGIN_TIMEOUT, Number(kLoginTimeoutSeconds), SQL_IS_UINTEGER);
  return status::kOk;
}

int AskDialect(SQLHDBC connection, Dialect& dialect) {
  SQLCHAR name[64] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length))) {
    return status::kServiceUnresolved;
  }
  return DialectFromDbmsName(reinterpret_cast<const char*>(name), dialect);
}

}  // namespace

int OpenLink(const char* user, const char* password, const char* netService,
             std::shared_ptr<Link>& link) {
  std::string connectionString;
  int rc = BuildConnectionString(netService, user, password, connectionString);
  if (rc != status::kOk) return rc;

  EnvironmentHandle environment;
  ConnectionHandle connection;
  rc = NewEnvironment(environment);
  if (rc == status::kOk) rc = NewConnection(environment.get(), connection);
  if (rc != status::kOk) return rc;
  SQLRETURN connected = SQLDriverConnect(
      connection.get(), nullptr, reinterpret_cast<SQLCHAR*>(connectionString.data()), SQL_NTS,
      nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  connectionString.assign(connectionString.size(), '\0');  // the password goes at once
  if (!SQL_SUCCEEDED(connected)) {
    return StatusFromConnectFailure(ReadDiagnostic(SQL_HANDLE_DBC, connection.get()));
  }
  Dialect dialect{};
  rc = AskDialect(connection.get(), dialect);
  if (rc != status::kOk) return rc;
  auto opened = std::make_shared<Link>(std::move(environment), std::move(connection), dialect);
  if (dialect == Dialect::Postgres) {
    rc = opened->ExecuteControl(kPostgresSessionSettings);
    if (rc != status::kOk) return rc;
  }
  link = std::move(opened);
  return status::kOk;
}

}  // namespace db::odbc
