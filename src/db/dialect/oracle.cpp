// Oracle, through its ODBC driver: the program's statements go as they stand.
#include "db/dialect/dialect.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db::dialect {
namespace {

// The statuses are Oracle's own error numbers: the ORA number, negated, is the status, but for
// 1403 ("no data found"), which is no error.
int StatusFromOraNumber(int32_t oraNumber) {
  if (oraNumber == status::kNoData) return status::kNoData;
  return oraNumber > 0 ? -oraNumber : status::kOk;
}

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
