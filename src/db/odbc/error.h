#pragma once
// The one translation from the driver's reports to the Oracle statuses of status.h. Oracle's
// driver gives the ORA number as the native error; PostgreSQL's gives the server's SQLSTATE,
// read by the PostgreSQL dialect's table.
#include <cstdint>
#include <string>

#include "db/dialect/dialect.h"
#include "platform/odbc_api.h"

namespace db::odbc {

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
