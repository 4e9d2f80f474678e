// PostgreSQL, through libpq or psqlODBC.
#include "db/dialect/dialect.h"
#include "db/dialect/postgresql_errors.h"
#include "db/dialect/postgresql_text.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/sql_scanner.h"

namespace db::dialect {
namespace {

// The table, as the server resolves an unquoted name: in the session's schema unless one is
// named. Every read below gives at least one row when the table exists, none when not.
constexpr const char* kTable =
    "with t as (select c.oid from pg_catalog.pg_class c"
    " join pg_catalog.pg_namespace n on n.oid = c.relnamespace"
    " where n.nspname = coalesce(nullif(?::text, ''), pg_catalog.current_schema())"
    " and c.relname = ?::text and c.relkind in ('r', 'p', 'v', 'm', 'f')) ";

// A domain is read as the type it is based on; the scale of a numeric is in its type modifier.
constexpr const char* kColumns =
    "select a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod),"
    " coalesce(nullif(y.typbasetype, 0), a.atttypid),"
    " (case when y.typbasetype <> 0 then y.typtypmod else a.atttypmod end - 4) & 65535"
    " from t left join pg_catalog.pg_attribute a"
    " on a.attrelid = t.oid and a.attnum > 0 and not a.attisdropped"
    " left join pg_catalog.pg_type y on y.oid = a.atttypid order by a.attnum";

// Key columns only: an index's included columns give it no order. Attribute 0 is an expression.
constexpr const char* kIndexes =
    "select i.indexrelid, a.attname from t"
    " left join pg_catalog.pg_index i on i.indrelid = t.oid"
    " left join pg_catalog.pg_class x on x.oid = i.indexrelid"
    " left join lateral unnest(i.indkey::int2[]) with ordinality k(attnum, place)"
    " on k.place <= i.indnkeyatts"
    " left join pg_catalog.pg_attribute a on a.attrelid = t.oid and a.attnum = k.attnum"
    " order by x.relname, i.indexrelid, k.place";

// For the current user: owner, grants to it, to PUBLIC and through the roles it inherits (a
// driver's privilege list knows nothing of roles and reads PUBLIC as another user).
constexpr const char* kPrivileges =
    "select pg_catalog.has_table_privilege(t.oid, 'SELECT'),"
    " pg_catalog.has_table_privilege(t.oid, 'INSERT'),"
    " pg_catalog.has_table_privilege(t.oid, 'UPDATE'),"
    " pg_catalog.has_table_privilege(t.oid, 'DELETE') from t";

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

  const char* CurrentSchemaQuery() const override { return "select current_schema()"; }
  std::string CatalogQuery(CatalogRead read) const override {
    std::string sql = kTable;
    sql += read == CatalogRead::Columns ? kColumns : read == CatalogRead::Indexes ? kIndexes : kPrivileges;
    return sql;
  }
};

}  // namespace

const Dialect& Postgres() {
  static const PostgresDialect dialect;
  return dialect;
}

}  // namespace db::dialect
