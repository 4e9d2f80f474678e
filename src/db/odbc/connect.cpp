#include "db/odbc/session.h"

#include <cstring>
#include <string>

#include "db/odbc/connection_string.h"
#include "db/runtime/answer_bound.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db::odbc {
namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 30;

// A silent server becomes a lost connection within two minutes, as on the native backend: the
// driver takes the keepalive times, libpq the probe count and user timeout; a string naming any
// keeps its own. With a DSN the libpq options stay out, lest they replace its Pqopt (a host
// list's target_session_attrs): the answer bound covers them.
constexpr const char* kPostgresKeepaliveKeys[] = {"KeepaliveTime", "KeepaliveInterval", "Pqopt"};
constexpr const char* kPostgresKeepaliveTimes = "KeepaliveTime=30;KeepaliveInterval=10;";
constexpr const char* kPostgresLibpqKeepalives =
    "Pqopt={keepalives_count=3 tcp_user_timeout=60000};";

// The program's own attribute: the answer bound, taken out before the driver sees the string.
constexpr const char* kAnswerBoundKey = "KestrumelAnswerTimeout";

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

// PostgreSQL's own driver by its library, with or without a folder ("psqlodbcw.so",
// "psqlodbca.so", "PSQLODBC35W.DLL" ...).
bool IsPostgresLibrary(std::string_view library) {
  size_t slash = library.find_last_of("/\\");
  std::string name = LowerCase(std::string(slash == std::string_view::npos ? library : library.substr(slash + 1)));
  return name.rfind("psqlodbc", 0) == 0;
}

bool IsPostgresDriver(SQLHDBC connection) {
  return IsPostgresLibrary(DriverInfo(connection, SQL_DRIVER_NAME));
}

// The driver entry of the data source `dsn`, as the driver manager lists it: a driver's name
// or its library.
bool DataSourceDriver(SQLHENV environment, std::string_view dsn, std::string& driver) {
  SQLCHAR name[256];
  SQLCHAR description[1024];
  SQLSMALLINT nameLength = 0, descriptionLength = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    SQLRETURN rc = SQLDataSources(environment, direction, name, sizeof name, &nameLength,
                                  description, sizeof description, &descriptionLength);
    if (!SQL_SUCCEEDED(rc)) return false;
    if (rc == SQL_SUCCESS_WITH_INFO) continue;  // cut short: not one to trust
    if (SameIgnoringCase(reinterpret_cast<const char*>(name), dsn)) {
      driver = reinterpret_cast<const char*>(description);
      return true;
    }
  }
}

// Whether `driver`, as a connection string or data source names it, is PostgreSQL's: a library
// named directly, or an installed driver whose "Driver" attribute names that library.
bool IsPostgresDriverEntry(SQLHENV environment, std::string_view driver) {
  if (driver.find_first_of("/\\") != std::string_view::npos) return IsPostgresLibrary(driver);
  SQLCHAR name[256];
  SQLCHAR attributes[4096];  // "key=value" pairs, each ended by a NUL, the list by another
  SQLSMALLINT nameLength = 0, attributesLength = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    SQLRETURN rc = SQLDrivers(environment, direction, name, sizeof name, &nameLength, attributes,
                              sizeof attributes, &attributesLength);
    if (!SQL_SUCCEEDED(rc)) return false;
    if (rc == SQL_SUCCESS_WITH_INFO) continue;  // cut short: not one to trust
    if (!SameIgnoringCase(reinterpret_cast<const char*>(name), driver)) continue;
    for (const char* pair = reinterpret_cast<const char*>(attributes); *pair != '\0';
         pair += std::strlen(pair) + 1) {
      std::string_view entry(pair);
      if (entry.size() > 7 && SameIgnoringCase(entry.substr(0, 7), "Driver=")) {
        return IsPostgresLibrary(entry.substr(7));
      }
    }
    return false;
  }
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

// Sets PostgreSQL's driver up before its connect: no statement savepoint (the transaction
// model does that without a round trip per failed statement), texts as stored (its Windows
// build turns LF into CR LF otherwise) and the keepalives. A later key wins over the DSN.
void AddPostgresSettings(std::string& connectionString) {
  connectionString += "Protocol=7.4-0;LFConversion=0;";
  for (const char* key : kPostgresKeepaliveKeys) {
    if (NamesAttribute(connectionString, key)) return;
  }
  connectionString += kPostgresKeepaliveTimes;
  if (!NamesAttribute(connectionString, "DSN")) connectionString += kPostgresLibpqKeepalives;
}

}  // namespace

bool ReachesPostgresDriver(SQLHENV environment, std::string_view connectionString) {
  std::string dsn, driver;
  bool namesDsn = AttributeValue(connectionString, "DSN", dsn);
  bool namesDriver = AttributeValue(connectionString, "Driver", driver);
  if (!namesDsn && !namesDriver) return false;
  if (namesDriver && !IsPostgresDriverEntry(environment, driver)) return false;
  std::string dsnDriver;
  return !namesDsn ||
         (DataSourceDriver(environment, dsn, dsnDriver) && IsPostgresDriverEntry(environment, dsnDriver));
}

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
  rc = NewEnvironment(environment);
  // Known from the driver manager's lists, PostgreSQL's driver is set up in the one connect;
  // where they do not tell, only a second connect can (another driver is left as it is).
  bool setUp = rc == status::kOk && ReachesPostgresDriver(environment.get(), connectionString);
  if (setUp) AddPostgresSettings(connectionString);
  if (rc == status::kOk) rc = Connect(environment.get(), connectionString, access, connection, failure);
  if (rc == status::kOk) rc = DialectFromDbmsName(DriverInfo(connection.get(), SQL_DBMS_NAME), dialect);
  if (rc == status::kOk && !setUp && IsPostgresDriver(connection.get())) {
    connection.reset();
    AddPostgresSettings(connectionString);
    rc = Connect(environment.get(), connectionString, access, connection, failure);
    setUp = true;
  }
  connectionString.assign(connectionString.size(), '\0');  // the password goes at once
  if (rc != status::kOk) return rc;
  bool ownRollback = setUp && IsPostgresDriver(connection.get());
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
