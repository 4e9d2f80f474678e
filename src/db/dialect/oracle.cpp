// Oracle, through its ODBC driver: the program's statements go as they stand.
#include "db/dialect/dialect.h"
#include "db/dialect/oracle_errors.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db::dialect {
namespace {

class OracleDialect final : public Dialect {
 public:
  DialectText Adapt(const std::string& body, int inputCount, Markers) const override {
    return {body, inputCount, {}, {}};
  }
  // The ORA number names the failure; without one it is the driver's own.
  int StatusFromNumber(int32_t native) const override { return StatusFromOraNumber(native); }
  int StatusFromSqlState(const std::string&) const override { return status::kInternal; }
  std::string Folded(const std::string& name) const override { return UpperCase(name); }

  // A failed statement undoes only itself; there is no RELEASE SAVEPOINT.
  TransactionTraits Traits() const override {
    return {.undoesFailedStatement = true,
            .releasesSavepoints = false,
            .keepsStartSavepoints = false,
            .locksRows = true};
  }

  SchemaSwitch SwitchSchema(const std::string& schema) const override {
    return {"ALTER SESSION SET CURRENT_SCHEMA=" + schema, false};
  }
  // Named locks need a package grant that a site's user may not have: none.
};

}  // namespace

const Dialect& Oracle() {
  static const OracleDialect dialect;
  return dialect;
}

}  // namespace db::dialect
