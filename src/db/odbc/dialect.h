#pragma once
// Which server is behind the driver, asked once at connect, decides the statement texts and
// the reading of the driver's errors: Oracle takes the program's statements as they stand,
// PostgreSQL gets them through its dialect's adapter, as the native backend does.
#include <string>
#include <string_view>
#include <vector>

#include "db/dialect/postgresql_text.h"

namespace db::odbc {

enum class Dialect { Oracle, Postgres };

// `dbmsName` what the driver reports as SQL_DBMS_NAME. Returns 0 and the dialect, or -12154
// for a server this program has no dialect for.
int DialectFromDbmsName(std::string_view dbmsName, Dialect& dialect);

// A statement body with '?' markers in the server's dialect, and the inputs that a TO_DATE
// reads (PostgreSQL only: their texts are checked and sent in ISO form).
struct DialectText {
  std::string sql;
  int parameterCount = 0;
  std::vector<dialect::DateInput> dateInputs;
};

// `inputCount` the number of '?' in `body`.
DialectText AdaptToDialect(Dialect dialect, const std::string& body, int inputCount);

// The text to prepare for inputs of which `integer` tells the integers. PostgreSQL's driver
// sends no parameter types, and an untyped input leaves "date + ?" ambiguous: on PostgreSQL
// an integer input is cast where it stands ("?::int4"), as the native backend types it.
std::string TextForInputs(Dialect dialect, const std::string& sql, const std::vector<bool>& integer);

}  // namespace db::odbc
