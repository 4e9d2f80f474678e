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
  postgresql::PostgresText text = postgresql::AdaptToPostgres(body, postgresql::Markers::Question);
  return {std::move(text.sql), text.parameterCount, std::move(text.dateInputs)};
}

std::string TextForInputs(Dialect dialect, const std::string& sql, const std::vector<bool>& integer) {
  if (dialect != Dialect::Postgres) return sql;
  SqlScanner scan(sql);
  std::string out;
  size_t marker = 0;
  size_t i = 0;
  while (i < scan.Size()) {
    char c = scan.At(i);
    if (c == '\'' || c == '"') {
      size_t close = scan.QuotedEnd(i);
      out.append(scan.Text().substr(i, close - i));
      i = close;
      continue;
    }
    out += c;
    if (c == '?' && marker < integer.size() && integer[marker++]) out += "::int4";
    ++i;
  }
  return out;
}

}  // namespace db::odbc
