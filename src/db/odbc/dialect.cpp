#include "db/odbc/dialect.h"

#include "db/runtime/sql_scanner.h"
#include "db/runtime/status.h"

namespace db::odbc {

int DialectFromDbmsName(std::string_view dbmsName, Dialect& dialect) {
  if (dbmsName == "Oracle") {
    dialect = Dialect::Oracle;
    return status::kOk;
  }
  if (dbmsName == "PostgreSQL") {
    dialect = Dialect::Postgres;
    return status::kOk;
  }
  return status::kServiceUnresolved;
}

DialectText AdaptToDialect(Dialect dialect, const std::string& body, int inputCount) {
  if (dialect == Dialect::Oracle) return {body, inputCount, {}};
  dialect::PostgresText text = dialect::AdaptToPostgres(body, dialect::Markers::Question);
  return {std::move(text.sql), text.parameterCount, std::move(text.dateInputs)};
}

std::string TextForInputs(Dialect dialect, const std::string& sql, const std::vector<bool>& integer) {
  if (dialect != Dialect::Postgres) return sql;
  std::string out;
  size_t marker = 0;
  for (const SqlToken& token : TokenizeSql(sql)) {
    out.append(token.text);
    if (token.kind == SqlTokenKind::Marker && marker < integer.size() && integer[marker++]) {
      out += "::int4";
    }
  }
  return out;
}

}  // namespace db::odbc
