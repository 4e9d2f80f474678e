#include "db/odbc/error.h"

#include <sqlext.h>

#include "db/postgresql/error.h"
#include "db/runtime/status.h"

namespace db::odbc {
namespace {

constexpr int32_t kOracleNoDataFound = 1403;

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The driver manager's own failures (IM...) mean that no driver could be reached: the DSN or
// the driver is unknown, or its library does not load.
bool IsDriverManagerFailure(const Diagnostic& diagnostic) {
  return StartsWith(diagnostic.sqlState, "IM");
}

bool IsConnectionFailure(const Diagnostic& diagnostic) {
  return StartsWith(diagnostic.sqlState, "08");
}

}  // namespace

Diagnostic ReadDiagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic diagnostic;
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLCHAR message[1024] = {};
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLGetDiagRec(type, handle, 1, state, &native, message,
                               static_cast<SQLSMALLINT>(sizeof message), &length);
  if (!SQL_SUCCEEDED(rc)) return diagnostic;
  diagnostic.sqlState = reinterpret_cast<const char*>(state);
  diagnostic.native = native;
  diagnostic.message = reinterpret_cast<const char*>(message);
  return diagnostic;
}

int StatusFromDiagnostic(Dialect dialect, const Diagnostic& diagnostic) {
  if (dialect == Dialect::Postgres) {
    return postgresql::StatusFromSqlState(diagnostic.sqlState.c_str());
  }
  if (diagnostic.native == kOracleNoDataFound) return status::kNoData;
  if (diagnostic.native > 0) return -diagnostic.native;
  if (IsConnectionFailure(diagnostic)) return status::kNotConnected;
  return status::kInternal;  // a failure of the driver itself, without an ORA number
}

// Oracle's driver names the ORA error; PostgreSQL's passes on the server's refusal, read as
// the native backend reads libpq's.
int StatusFromConnectFailure(const Diagnostic& diagnostic) {
  if (IsDriverManagerFailure(diagnostic)) return status::kServiceUnresolved;
  if (diagnostic.message.find("ORA-") != std::string::npos && diagnostic.native > 0) {
    return -diagnostic.native;
  }
  if (StartsWith(diagnostic.sqlState, "28")) return status::kLogonDenied;
  return postgresql::StatusFromConnectFailure(diagnostic.message.c_str(), false);
}

}  // namespace db::odbc
