#include "db/odbc/session.h"

#include "db/dialect/postgresql.h"
#include "db/status.h"
#include "platform/odbc_api.h"

namespace db::odbc {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

struct DriverStateRule {
  const char* prefix;  // a full SQLSTATE, or a two-character class matching all its codes
  int status;
};

// The driver's own states, which mean the same whichever server is behind it; the most
// specific rule first.
constexpr DriverStateRule kDriverStateRules[] = {
    {"08S01", status::kEndOfFileOnChannel},  // communication link failure under a call
    {"08", status::kNotConnected},           // 08003 connection does not exist, and the rest
    {"HYT00", status::kCancelled},           // timeout expired
    {"HYT01", status::kCancelled},           // connection timeout expired
    {"HY008", status::kCancelled},           // operation cancelled
    {"40001", status::kSerializationFailure},
};

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

// The server's own error number (Oracle's ORA number) wins over the driver's state; the
// server's SQLSTATE passed on (PostgreSQL's) is read where the driver's own states end.
int StatusFromDiagnostic(const dialect::Dialect& dialect, const Diagnostic& diagnostic) {
  if (int serverStatus = dialect.StatusFromNumber(diagnostic.native)) return serverStatus;
  for (const DriverStateRule& rule : kDriverStateRules) {
    if (StartsWith(diagnostic.sqlState, rule.prefix)) return rule.status;
  }
  return dialect.StatusFromSqlState(diagnostic.sqlState);
}

// Oracle's driver names the ORA error; PostgreSQL's passes on the server's refusal, read as
// the native backend reads libpq's.
int StatusFromConnectFailure(const Diagnostic& diagnostic) {
  // The driver manager's own (IM...): no driver reached, the DSN or driver unknown or unloadable.
  if (StartsWith(diagnostic.sqlState, "IM")) return status::kServiceUnresolved;
  if (diagnostic.message.find("ORA-") != std::string::npos && diagnostic.native > 0) {
    return -diagnostic.native;
  }
  if (StartsWith(diagnostic.sqlState, "28")) return status::kLogonDenied;
  return dialect::StatusFromPostgresConnectFailure(diagnostic.message.c_str(), false);
}

}  // namespace db::odbc
