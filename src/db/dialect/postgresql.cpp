// PostgreSQL, through libpq or psqlODBC.
#include "db/dialect/postgresql.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/sql_scanner.h"

namespace db::dialect {
namespace {

// Only a schema that exists becomes the search path, in the same statement that looks for it.
constexpr const char* kSwitchSchema =
    "select set_config('search_path', quote_ident(nspname), false)"
    " from pg_catalog.pg_namespace where nspname = ?";

class PostgresDialect final : public Dialect {
 public:
  DialectText Adapt(const std::string& body, int, Markers markers) const override {
    return AdaptToPostgres(body, markers);
  }

  // An untyped input leaves "date + ?" ambiguous: an integer is cast where it stands, as the
  // native backend types it (PostgreSQL's driver sends no parameter types).
  std::string TypedText(const std::string& sql, const std::vector<bool>& integer) const override {
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

  int StatusFromSqlState(const std::string& sqlState) const override {
    return StatusFromPostgresSqlState(sqlState.c_str());
  }
  bool RefusesUntilRollback(const std::string& sqlState) const override { return sqlState == "25P02"; }
  std::string Folded(const std::string& name) const override { return LowerCase(name); }

  // A failed statement aborts the whole transaction.
  TransactionTraits Traits() const override {
    return {.undoesFailedStatement = false,
            .releasesSavepoints = true,
            .keepsStartSavepoints = false,
            .locksRows = true};
  }

  // The search path is a setting that a rollback would undo: it changes between transactions.
  SchemaSwitch SwitchSchema(const std::string&) const override { return {kSwitchSchema, true}; }
  // A row locked by another session is waited for 10 s, then the statement fails as busy.
  std::vector<const char*> SessionSettings() const override { return {"SET lock_timeout = 10000"}; }
  const char* ReadOnlySetting() const override {
    return "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY";
  }
  // A session-level advisory lock: it ends with the session, so a killed run never keeps it.
  const char* TryLockNameQuery() const override {
    return "select pg_try_advisory_lock(hashtextextended(?, 0))";
  }
};

}  // namespace

const Dialect& Postgres() {
  static const PostgresDialect dialect;
  return dialect;
}

}  // namespace db::dialect
