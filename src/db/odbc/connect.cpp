#include "db/odbc/connect.h"

#include <cctype>
#include <string>

#include "db/odbc/connection_string.h"
#include "db/odbc/error.h"
#include "db/runtime/answer_bound.h"
#include "db/status.h"

namespace db::odbc {
namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 30;

// A server that falls silent becomes a lost connection within two minutes, as on the native
// backend: PostgreSQL's driver takes the keepalive times itself and hands the probe count and
// the user timeout to libpq. A connection string that names any of them keeps its own. A
// data source's Pqopt (target_session_attrs=read-write for a host list, say) would give way to
// one in the string, so there the libpq options are left out: the answer bound covers them.
constexpr const char* kPostgresKeepaliveKeys[] = {"KeepaliveTime", "KeepaliveInterval", "Pqopt"};
constexpr const char* kPostgresKeepaliveTimes = "KeepaliveTime=30;KeepaliveInterval=10;";
constexpr const char* kPostgresLibpqKeepalives =
    "Pqopt={keepalives_count=3 tcp_user_timeout=60000};";

// The program's own attribute: the answer bound, taken out before the driver sees the string.
constexpr const char* kAnswerBoundKey = "KestrumelAnswerTimeout";

SQLPOINTER Number(SQLULEN value) { return reinterpret_cast<SQLPOINTER>(value); }

void AddPostgresKeepalives(std::string& connectionString) {
  for (const char* key : kPostgresKeepaliveKeys) {
    if (NamesAttribute(connectionString, key)) return;
  }
  connectionString += kPostgresKeepaliveTimes;
  if (!NamesAttribute(connectionString, "DSN")) connectionString += kPostgresLibpqKeepalives;
}

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

// PostgreSQL's own driver ("psqlodbcw.so", "psqlodbca.so", "PSQLODBC35W.DLL" ...).
bool IsPostgresDriver(SQLHDBC connection) {
  SQLCHAR name[64] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DRIVER_NAME, name, sizeof name, &length))) return false;
  std::string driver(reinterpret_cast<const char*>(name));
  for (char& c : driver) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return driver.rfind("psqlodbc", 0) == 0;
}

// A driver may take the access mode only before the connect, another only after it: both.
void AskReadOnly(SQLHDBC connection) {
  SQLSetConnectAttr(connection, SQL_ATTR_ACCESS_MODE, Number(SQL_MODE_READ_ONLY), SQL_IS_UINTEGER);
}

int Connect(SQLHENV environment, std::string& connectionString, Access access,
            ConnectionHandle& connection, std::string& failure) {
  int rc = NewConnection(environment, connection);
  if (rc != status::kOk) return rc;
  if (access == Access::ReadOnly) AskReadOnly(connection.get());
  SQLRETURN connected = SQLDriverConnect(
      connection.get(), nullptr, reinterpret_cast<SQLCHAR*>(connectionString.data()), SQL_NTS,
      nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(connected)) {
    Diagnostic diagnostic = ReadDiagnostic(SQL_HANDLE_DBC, connection.get());
    failure = diagnostic.sqlState + ": " + diagnostic.message;
    return StatusFromConnectFailure(diagnostic);
  }
  if (access == Access::ReadOnly) AskReadOnly(connection.get());
  return status::kOk;
}

int AskDialect(SQLHDBC connection, const dialect::Dialect*& dialect) {
  SQLCHAR name[64] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length))) {
    return status::kServiceUnresolved;
  }
  return DialectFromDbmsName(reinterpret_cast<const char*>(name), dialect);
}

}  // namespace

int DialectFromDbmsName(std::string_view dbmsName, const dialect::Dialect*& server) {
  if (dbmsName == "Oracle") server = &dialect::Oracle();
  if (dbmsName == "PostgreSQL") server = &dialect::Postgres();
  return server != nullptr ? status::kOk : status::kServiceUnresolved;
}

int OpenLink(const char* user, const char* password, const char* netService,
             Access access, std::shared_ptr<Link>& link, std::string& failure) {
  std::string connectionString;
  int rc = BuildConnectionString(netService, user, password, connectionString);
  if (rc != status::kOk) return rc;
  int answerSeconds = kDefaultAnswerSeconds;
  std::string answerBound;
  if (TakeAttribute(connectionString, kAnswerBoundKey, answerBound) &&
      (!ParseAnswerSeconds(answerBound, answerSeconds) ||
       NamesAttribute(connectionString, kAnswerBoundKey))) {
    failure = std::string(kAnswerBoundKey) + " takes one whole number of seconds from 15 to 86400";
    return status::kServiceUnresolved;
  }

  EnvironmentHandle environment;
  ConnectionHandle connection;
  const dialect::Dialect* dialect = nullptr;
  bool ownRollback = false;
  rc = NewEnvironment(environment);
  if (rc == status::kOk) rc = Connect(environment.get(), connectionString, access, connection, failure);
  if (rc == status::kOk) rc = AskDialect(connection.get(), dialect);
  // PostgreSQL's driver sets its statement savepoint in a round trip of its own: it is turned
  // off (the transaction model does that work), which only a new connect can do.
  if (rc == status::kOk && IsPostgresDriver(connection.get())) {
    connection.reset();
    connectionString += "Protocol=7.4-0;";
    AddPostgresKeepalives(connectionString);
    rc = Connect(environment.get(), connectionString, access, connection, failure);
    ownRollback = true;
  }
  connectionString.assign(connectionString.size(), '\0');  // the password goes at once
  if (rc != status::kOk) return rc;
  auto opened = std::make_shared<Link>(std::move(environment), std::move(connection), *dialect,
                                       ownRollback);
  opened->Watch().SetAnswerBound(answerSeconds);
  for (const char* setting : dialect->SessionSettings()) {
    rc = opened->ExecuteControl(setting);
    if (rc != status::kOk) return rc;
  }
  // A driver may take the ODBC access mode and ignore it (PostgreSQL's does): the server is
  // told itself, so that every transaction of the session refuses changes.
  const char* readOnly = dialect->ReadOnlySetting();
  if (access == Access::ReadOnly && readOnly != nullptr) rc = opened->ExecuteControl(readOnly);
  if (rc != status::kOk) return rc;
  link = std::move(opened);
  return status::kOk;
}

}  // namespace db::odbc
