// SQLite, in this process: one database file per schema.
#include "db/dialect/dialect.h"
#include "db/dialect/sqlite_text.h"
#include "db/status.h"

namespace db::dialect {
namespace {

class SqliteDialect final : public Dialect {
 public:
  DialectText Adapt(const std::string& body, int inputCount, Markers) const override {
    DialectText text = AdaptToSqlite(body);
    text.parameterCount = inputCount;
    return text;
  }
  // Its result codes are read by its one driver (sqlite/error.cpp).
  int StatusFromSqlState(const std::string&) const override { return status::kInternal; }
  std::string Folded(const std::string& name) const override { return name; }  // case-blind

  // A failed statement undoes itself (the statement journal). Savepoints set before the first
  // change stay out of SQLite, which would otherwise journal every page the request then
  // changes a second time, in memory. The write transaction's lock serialises the writers:
  // there are no row locks.
  TransactionTraits Traits() const override {
    return {.undoesFailedStatement = true,
            .releasesSavepoints = true,
            .keepsStartSavepoints = true,
            .locksRows = false};
  }

  // A schema is a file of its own, opened in its place (sqlite/session.cpp).
  SchemaSwitch SwitchSchema(const std::string&) const override { return {}; }
};

}  // namespace

const Dialect& Sqlite() {
  static const SqliteDialect dialect;
  return dialect;
}

}  // namespace db::dialect
