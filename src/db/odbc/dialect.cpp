#include "db/odbc/dialect.h"

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

}  // namespace db::odbc
