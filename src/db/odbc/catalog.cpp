#include <algorithm>
#include <string>
#include <vector>

#include "db/catalog/catalog.h"
#include "db/odbc/session.h"
#include "db/odbc/statement.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db::odbc {
namespace {

// Guards PostgreSQL's compile of a statement in an open transaction, which a failure would spoil.
constexpr const char* kDescribeSavepoint = "kestrumel_describe";

// A text column of the current row, "" for NULL.
int ReadText(Link& link, SQLHSTMT handle, SQLUSMALLINT column, std::string& text) {
  SqlValue value;
  int rc = ReadValue(link, handle, column, false, value);
  text = std::move(value.text);
  return rc;
}

// A number column of the current row, 0 for NULL; `present` false for NULL.
int ReadNumber(Link& link, SQLHSTMT handle, SQLUSMALLINT column, long& number, bool* present = nullptr) {
  SqlValue value;
  int rc = ReadValue(link, handle, column, true, value);
  if (present != nullptr) *present = value.kind != SqlValue::Kind::Null;
  number = static_cast<long>(value.number);
  return rc;
}

// Runs `sql` with text inputs and reads the columns of its first row as texts (none: no row).
int QueryRow(Link& link, const std::string& sql, const std::vector<std::string>& inputs,
             std::vector<std::string>& row) {
  row.clear();
  SqlRows rows;
  SqlRow first;
  int rc = RunQuery(link, sql, inputs, rows);
  if (rc == status::kOk && !rows.empty()) rows.Read(0, first);
  for (const SqlValue& value : first) {
    row.push_back(value.kind == SqlValue::Kind::Int ? std::to_string(value.number) : value.text);
  }
  return rc;
}

// The schema to ask the catalog for: "" is the session's, the one the schema switch made
// current or, before any, the server's.
int CatalogSchema(Link& link, const std::string& schema, std::string& resolved) {
  if (!schema.empty()) {
    resolved = link.ServerDialect().Folded(schema);
    return status::kOk;
  }
  resolved = link.SwitchedSchema();
  if (!resolved.empty()) return status::kOk;
  std::vector<std::string> row;
  int rc = QueryRow(link, dialect::CatalogQueriesOf(link.ServerDialect()).currentSchema, {}, row);
  if (rc != status::kOk) return rc;
  if (row.empty() || row[0].empty()) return link.FailWith(status::kSchemaUnknown, "no current schema");
  resolved = row[0];
  return status::kOk;
}

// Catalog functions read schema and table arguments as patterns: '_' and '%' stand for
// themselves only behind the driver's escape.
std::string Pattern(Link& link, const std::string& name) {
  std::string prefix = DriverInfo(link.Connection(), SQL_SEARCH_PATTERN_ESCAPE);
  if (prefix.empty()) return name;
  std::string out;
  for (char c : name) {
    if (c == '_' || c == '%') out += prefix;
    out += c;
  }
  return out;
}

CatalogColumn::Kind KindOf(SQLSMALLINT type, long decimalDigits, bool hasDigits) {
  switch (type) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR:
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
      return CatalogColumn::Kind::Text;
    case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: case SQL_TINYINT:
      return CatalogColumn::Kind::Integer;
    case SQL_NUMERIC: case SQL_DECIMAL:
      return hasDigits && decimalDigits == 0 ? CatalogColumn::Kind::Integer : CatalogColumn::Kind::Other;
    case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP: case SQL_DATE: case SQL_TIMESTAMP:
      return CatalogColumn::Kind::Date;
    default:
      return CatalogColumn::Kind::Other;
  }
}

// The driver's type name with the length or precision that tells a column from another.
std::string TypeText(const std::string& name, SQLSMALLINT type, long size, long digits, bool hasDigits) {
  switch (type) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_WCHAR: case SQL_WVARCHAR:
      return name + "(" + std::to_string(size) + ")";
    case SQL_NUMERIC: case SQL_DECIMAL:
      return hasDigits ? name + "(" + std::to_string(size) + "," + std::to_string(digits) + ")" : name;
    default:
      return name;
  }
}

// One row of SQLColumns: COLUMN_NAME 4, DATA_TYPE 5, TYPE_NAME 6, COLUMN_SIZE 7,
// DECIMAL_DIGITS 9.
int ReadColumn(Link& link, SQLHSTMT handle, CatalogColumn& column) {
  std::string typeName;
  long type = 0, size = 0, digits = 0;
  bool hasDigits = false;
  int rc = ReadText(link, handle, 4, column.name);
  if (rc == status::kOk) rc = ReadNumber(link, handle, 5, type);
  if (rc == status::kOk) rc = ReadText(link, handle, 6, typeName);
  if (rc == status::kOk) rc = ReadNumber(link, handle, 7, size);
  if (rc == status::kOk) rc = ReadNumber(link, handle, 9, digits, &hasDigits);
  if (rc != status::kOk) return rc;
  auto dataType = static_cast<SQLSMALLINT>(type);
  column.kind = KindOf(dataType, digits, hasDigits);
  column.type = TypeText(typeName, dataType, size, digits, hasDigits);
  return status::kOk;
}

int NoSuchTable(Link& link, const std::string& schema, const std::string& table) {
  return link.FailWith(status::kNoSuchTable, "no table " + schema + "." + table);
}

// Runs the catalog function `call` on a statement of its own and reads every row of its result
// with `read`, which returns a status.
template <typename Call, typename Read>
int CatalogRows(Link& link, Call call, Read read) {
  StatementHandle statement;
  int rc = link.NewStatement(statement);
  if (rc != status::kOk) return rc;
  SQLHSTMT handle = statement.get();
  if (!SQL_SUCCEEDED(call(handle))) return link.Fail(SQL_HANDLE_STMT, handle);
  for (;;) {
    SQLRETURN fetched = SQLFetch(handle);
    if (fetched == SQL_NO_DATA) return status::kOk;
    if (!SQL_SUCCEEDED(fetched)) return link.Fail(SQL_HANDLE_STMT, handle);
    rc = read(handle);
    if (rc != status::kOk) return rc;
  }
}

// The columns of `table` in `schema` (both as the server keeps them), in the table's order.
int ReadColumns(Link& link, const std::string& schema, const std::string& table,
                std::vector<CatalogColumn>& columns) {
  std::string schemaPattern = Pattern(link, schema), tablePattern = Pattern(link, table);
  auto call = [&](SQLHSTMT h) {
    return SQLColumns(h, nullptr, 0, Native(schemaPattern), SQL_NTS, Native(tablePattern), SQL_NTS, nullptr, 0);
  };
  int rc = CatalogRows(link, call, [&](SQLHSTMT h) {
    CatalogColumn column;
    int read = ReadColumn(link, h, column);
    if (read == status::kOk) columns.push_back(std::move(column));
    return read;
  });
  if (rc != status::kOk) columns.clear();
  if (rc == status::kOk && columns.empty()) rc = NoSuchTable(link, schema, table);
  return rc;
}

// One index being read: its name and its columns by position.
struct IndexColumns {
  std::string qualifier;
  std::string name;
  std::vector<std::string> columns;
};

// Columns of a catalog row are read left to right, as drivers require of SQLGetData.

// A row of SQLStatistics: INDEX_QUALIFIER 5, INDEX_NAME 6, TYPE 7, ORDINAL_POSITION 8,
// COLUMN_NAME 9. A column that is none of the table's is an expression.
int ReadIndexRow(Link& link, SQLHSTMT handle, const std::vector<CatalogColumn>& tableColumns,
                 std::vector<IndexColumns>& found) {
  long type = 0, position = 0;
  std::string qualifier, name, column;
  int rc = ReadText(link, handle, 5, qualifier);
  if (rc == status::kOk) rc = ReadText(link, handle, 6, name);
  if (rc == status::kOk) rc = ReadNumber(link, handle, 7, type);
  if (rc != status::kOk || type == SQL_TABLE_STAT) return rc;
  rc = ReadNumber(link, handle, 8, position);
  if (rc == status::kOk) rc = ReadText(link, handle, 9, column);
  if (rc != status::kOk) return rc;
  bool known = std::any_of(tableColumns.begin(), tableColumns.end(),
                           [&](const CatalogColumn& c) { return c.name == column; });
  auto index = std::find_if(found.begin(), found.end(), [&](const IndexColumns& i) {
    return i.qualifier == qualifier && i.name == name;
  });
  if (index == found.end()) index = found.insert(found.end(), {qualifier, name, {}});
  size_t at = position > 0 ? static_cast<size_t>(position - 1) : index->columns.size();
  if (index->columns.size() <= at) index->columns.resize(at + 1);
  index->columns[at] = known ? column : std::string();
  return status::kOk;
}

// The primary key's columns in key order (none: the table has no primary key): COLUMN_NAME 4,
// KEY_SEQ 5.
int ReadPrimaryKey(Link& link, const std::string& schema, const std::string& table,
                   std::vector<std::string>& key) {
  auto call = [&](SQLHSTMT h) {
    return SQLPrimaryKeys(h, nullptr, 0, Native(schema), SQL_NTS, Native(table), SQL_NTS);
  };
  return CatalogRows(link, call, [&](SQLHSTMT h) {
    long sequence = 0;
    std::string column;
    int read = ReadText(link, h, 4, column);
    if (read == status::kOk) read = ReadNumber(link, h, 5, sequence);
    size_t at = sequence > 0 ? static_cast<size_t>(sequence - 1) : key.size();
    if (key.size() <= at) key.resize(at + 1);
    key[at] = column;
    return read;
  });
}

// What the driver's privilege list grants the connected user or PUBLIC: GRANTEE 5,
// PRIVILEGE 6.
int DriverPrivileges(Link& link, const std::string& schema, const std::string& table,
                     TablePrivileges& granted) {
  SQLCHAR user[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(link.Connection(), SQL_USER_NAME, user, sizeof user, &length))) {
    return link.Fail(SQL_HANDLE_DBC, link.Connection());
  }
  std::string userName(reinterpret_cast<const char*>(user));
  std::string schemaPattern = Pattern(link, schema), tablePattern = Pattern(link, table);
  auto call = [&](SQLHSTMT h) {
    return SQLTablePrivileges(h, nullptr, 0, Native(schemaPattern), SQL_NTS, Native(tablePattern), SQL_NTS);
  };
  return CatalogRows(link, call, [&](SQLHSTMT h) {
    std::string grantee, privilege;
    int read = ReadText(link, h, 5, grantee);
    if (read == status::kOk) read = ReadText(link, h, 6, privilege);
    bool toUser = SameIgnoringCase(grantee, userName) || SameIgnoringCase(grantee, "PUBLIC");
    if (read != status::kOk || !toUser) return read;
    if (SameIgnoringCase(privilege, "SELECT")) granted.select = true;
    if (SameIgnoringCase(privilege, "INSERT")) granted.insert = true;
    if (SameIgnoringCase(privilege, "UPDATE")) granted.update = true;
    if (SameIgnoringCase(privilege, "DELETE")) granted.remove = true;
    return status::kOk;
  });
}

// PostgreSQL's drivers give a boolean as "1" or "t", by their settings.
bool IsTrue(const std::string& text) { return text == "1" || text == "t" || text == "true"; }

// Has the server compile the prepared `handle`: PostgreSQL's driver defers the parse until
// it needs the result's shape, which the column count asks for.
int Compile(Link& link, SQLHSTMT handle, const std::string& sql) {
  if (!SQL_SUCCEEDED(SQLPrepare(handle, Native(sql), SQL_NTS))) return link.Fail(SQL_HANDLE_STMT, handle);
  SQLSMALLINT columns = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(handle, &columns))) return link.Fail(SQL_HANDLE_STMT, handle);
  return status::kOk;
}

struct OdbcCatalog final : Catalog {
  explicit OdbcCatalog(Link& session) : link(session) {}

  // On a handle of its own: a statement checked is not thereby one the session runs.
  int Describe(BackendStatement& statement, const std::vector<bool>& integerInputs) override {
    const std::string& text = static_cast<const Statement&>(statement).Sql();
    std::string sql = link.ServerDialect().TypedText(text, integerInputs);
    bool guard = link.InTransaction() && !link.ServerDialect().Traits().undoesFailedStatement;
    if (guard) {
      int rc = link.ExecuteControl(std::string("SAVEPOINT ") + kDescribeSavepoint);
      if (rc != status::kOk) return rc;
    }
    StatementHandle prepared;
    int rc = link.NewStatement(prepared);
    if (rc == status::kOk) rc = Compile(link, prepared.get(), sql);
    prepared.reset();
    if (guard && !link.Lost()) {
      // The failure's diagnostics stay the last error.
      std::string error = link.LastError();
      std::string undo =
          rc == status::kOk ? "" : std::string("ROLLBACK TO SAVEPOINT ") + kDescribeSavepoint + ";";
      int ended = link.ExecuteControl(undo + "RELEASE SAVEPOINT " + kDescribeSavepoint);
      if (rc != status::kOk) link.FailWith(rc, error);
      if (rc == status::kOk) rc = ended;
    }
    return rc;
  }

  int Columns(const std::string& schema, const std::string& table,
              std::vector<CatalogColumn>& columns) override {
    std::string resolved, name;
    return ResolveTable(schema, table, resolved, name, columns);
  }

  int Indexes(const std::string& schema, const std::string& table,
              std::vector<std::vector<std::string>>& indexes) override {
    std::string resolved, name;
    std::vector<CatalogColumn> tableColumns;
    int rc = ResolveTable(schema, table, resolved, name, tableColumns);
    if (rc != status::kOk) return rc;
    std::vector<IndexColumns> found;
    auto call = [&](SQLHSTMT h) {
      return SQLStatistics(h, nullptr, 0, Native(resolved), SQL_NTS, Native(name), SQL_NTS,
                           SQL_INDEX_ALL, SQL_QUICK);
    };
    rc = CatalogRows(link, call, [&](SQLHSTMT h) { return ReadIndexRow(link, h, tableColumns, found); });
    std::vector<std::string> key;
    if (rc == status::kOk) rc = ReadPrimaryKey(link, resolved, name, key);
    if (rc != status::kOk) return rc;
    for (IndexColumns& index : found) indexes.push_back(std::move(index.columns));
    // A driver may leave the primary key out of the statistics.
    if (!key.empty() && std::find(indexes.begin(), indexes.end(), key) == indexes.end()) {
      indexes.push_back(std::move(key));
    }
    return status::kOk;
  }

  int Privileges(const std::string& schema, const std::string& table,
                 TablePrivileges& granted) override {
    std::string resolved, name;
    std::vector<CatalogColumn> tableColumns;
    int rc = ResolveTable(schema, table, resolved, name, tableColumns);
    if (rc != status::kOk) return rc;
    // A driver's privilege list may read a grant to PUBLIC as one to another user and know
    // nothing of role membership: a server that can answers for the connected user itself.
    const std::string& query = dialect::CatalogQueriesOf(link.ServerDialect()).privileges;
    if (query.empty()) return DriverPrivileges(link, resolved, name, granted);
    std::vector<std::string> row;
    rc = QueryRow(link, query, {resolved, name}, row);
    if (rc != status::kOk) return rc;
    if (row.size() != 4) return NoSuchTable(link, resolved, name);
    granted = {IsTrue(row[0]), IsTrue(row[1]), IsTrue(row[2]), IsTrue(row[3])};
    return status::kOk;
  }

  // The schema as the catalog names it, the table's folded name and its columns: a table the
  // catalog does not know fails here.
  int ResolveTable(const std::string& schema, const std::string& table, std::string& resolved,
                   std::string& name, std::vector<CatalogColumn>& columns) {
    name = link.ServerDialect().Folded(table);
    int rc = CatalogSchema(link, schema, resolved);
    if (rc == status::kOk) rc = ReadColumns(link, resolved, name, columns);
    return rc;
  }

  Link& link;
};

}  // namespace
}  // namespace db::odbc

namespace db::registered_catalog {
extern const CatalogEntry odbc;
const CatalogEntry odbc{"odbc", [](BackendSession& session) -> std::unique_ptr<Catalog> {
  return std::make_unique<::db::odbc::OdbcCatalog>(::db::odbc::LinkOf(session));
}};
}  // namespace db::registered_catalog
