// The catalog queries of each server, for the check alone.
#include "db/dialect/dialect.h"

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

}  // namespace

const CatalogQueries& CatalogQueriesOf(const Dialect& dialect) {
  static const CatalogQueries oracle{"select sys_context('USERENV', 'CURRENT_SCHEMA') from dual",
                                     {}, {}, {}};
  static const CatalogQueries postgres{"select current_schema()", std::string(kTable) + kColumns,
                                       std::string(kTable) + kIndexes,
                                       std::string(kTable) + kPrivileges};
  static const CatalogQueries sqlite{"select 'main'", {}, {}, {}};  // its own pragmas
  if (&dialect == &Postgres()) return postgres;
  return &dialect == &Oracle() ? oracle : sqlite;
}

}  // namespace db::dialect
