#include <string_view>

#include "db/catalog/catalog.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"
#include "platform/file_access.h"
#include "db/sqlite/session.h"
#include "platform/paths.h"

namespace db::sqlite {
namespace {

// The session's schema is the main database; a named one is attached under its name.
std::string DatabaseName(const std::string& schema) { return schema.empty() ? "main" : schema; }

// Runs a pragma query of its own with text inputs, handing each row to `row`. Returns 0, or
// the status of the failure.
template <typename Row>
int Query(Link& link, const char* sql, std::initializer_list<std::string_view> inputs, Row row) {
  if (int rc = link.Ready(); rc != status::kOk) return rc;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(link.handle.get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
    return link.Fail(sqlite3_extended_errcode(link.handle.get()));
  }
  NativeStatement statement(raw);
  int position = 0;
  for (std::string_view input : inputs) {
    sqlite3_bind_text(raw, ++position, input.data(), static_cast<int>(input.size()),
                      SQLITE_TRANSIENT);
  }
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) row(raw);
  return rc == SQLITE_DONE ? status::kOk : link.Fail(sqlite3_extended_errcode(link.handle.get()));
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

// SQLite's own rule for a declared type's affinity; dates are stored as texts.
CatalogColumn::Kind KindOf(const std::string& declared) {
  std::string type = UpperCase(declared);
  if (type.find("INT") != std::string::npos) return CatalogColumn::Kind::Integer;
  for (const char* text : {"CHAR", "CLOB", "TEXT"}) {
    if (type.find(text) != std::string::npos) return CatalogColumn::Kind::Text;
  }
  return CatalogColumn::Kind::Other;
}

// The file that holds `schema`, "" when unknown.
std::string FileOf(Link& link, const std::string& schema) {
  std::string file;
  std::string wanted = UpperCase(DatabaseName(schema));
  Query(link, "select name, file from pragma_database_list", {}, [&](sqlite3_stmt* row) {
    if (UpperCase(ColumnText(row, 0)) == wanted) file = ColumnText(row, 1);
  });
  return file;
}

struct SqliteCatalog final : Catalog {
  explicit SqliteCatalog(Link& session) : link(session) {}
  // Prepare compiled the statement already: whatever it names exists.
  int Describe(BackendStatement&, const std::vector<bool>&) override { return status::kOk; }

  int Columns(const std::string& schema, const std::string& table,
              std::vector<CatalogColumn>& columns) override {
    int rc = Query(link, "select name, type from pragma_table_info(?1, ?2)",
                   {table, DatabaseName(schema)}, [&](sqlite3_stmt* row) {
                     std::string type = ColumnText(row, 1);
                     columns.push_back({ColumnText(row, 0), KindOf(type), type});
                   });
    if (rc != status::kOk) return rc;
    if (!columns.empty()) return status::kOk;
    return link.FailWith(status::kNoSuchTable, "no table " + DatabaseName(schema) + "." + table);
  }

  int Indexes(const std::string& schema, const std::string& table,
              std::vector<std::vector<std::string>>& indexes) override {
    std::vector<CatalogColumn> columns;
    if (int rc = Columns(schema, table, columns); rc != status::kOk) return rc;
    std::vector<std::string> names;
    int rc = Query(link, "select name from pragma_index_list(?1, ?2)", {table, DatabaseName(schema)},
                   [&](sqlite3_stmt* row) { names.push_back(ColumnText(row, 0)); });
    for (size_t i = 0; rc == status::kOk && i < names.size(); ++i) {
      std::vector<std::string> keys;
      rc = Query(link, "select name from pragma_index_info(?1, ?2) order by seqno",
                 {names[i], DatabaseName(schema)},
                 [&](sqlite3_stmt* row) { keys.push_back(ColumnText(row, 0)); });
      indexes.push_back(std::move(keys));
    }
    return rc;
  }

  // SQLite has no grants: what the user running the check may do with the file is what the
  // program may do with the table. A change also writes the journal beside the file.
  int Privileges(const std::string& schema, const std::string& table,
                 TablePrivileges& granted) override {
    std::vector<CatalogColumn> columns;
    if (int rc = Columns(schema, table, columns); rc != status::kOk) return rc;
    std::string file = FileOf(link, schema);
    if (file.empty()) return link.FailWith(status::kInternal, "no file for " + DatabaseName(schema));
    std::string directory = file.substr(0, platform::LastPathSeparator(file) + 1);
    bool writable = platform::MayWrite(file) == 0 && platform::MayChangeEntriesOf(directory) == 0;
    granted.select = platform::MayRead(file) == 0;
    granted.insert = granted.update = granted.remove = writable;
    return status::kOk;
  }
  Link& link;
};

}  // namespace
}  // namespace db::sqlite

namespace db::registered_catalog {
extern const CatalogEntry sqlite;
const CatalogEntry sqlite{"sqlite", [](BackendSession& session) -> std::unique_ptr<Catalog> {
  return std::make_unique<::db::sqlite::SqliteCatalog>(::db::sqlite::LinkOf(session));
}};
}  // namespace db::registered_catalog
