#include "db/sqlite/keyed_update.h"

#include <sqlite3.h>

#include "db/dialect/sqlite_text.h"
#include "db/status.h"

namespace db::sqlite {
namespace {

bool SameValue(const SqlValue& a, const SqlValue& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case SqlValue::Kind::Int: return a.number == b.number;
    case SqlValue::Kind::Text: return a.text == b.text;
    default: return false;  // NULL matches no row; an error is never an input
  }
}

// A column that compares other than byte for byte (NOCASE, RTRIM) can match a value it does
// not hold: setting it would change it.
bool ComparesBytes(sqlite3* handle, const std::string& table, const std::string& column) {
  const char* collation = nullptr;
  int rc = sqlite3_table_column_metadata(handle, nullptr, table.c_str(), column.c_str(), nullptr,
                                         &collation, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK && collation != nullptr && sqlite3_stricmp(collation, "BINARY") == 0;
}

}  // namespace

bool KeyedUpdate::KeysUnchanged(const std::vector<SqlValue>& inputs) const {
  for (const auto& [set, where] : keys_.equal) {
    if (!SameValue(inputs[static_cast<size_t>(set)], inputs[static_cast<size_t>(where)])) {
      return false;
    }
  }
  return true;
}

int KeyedUpdate::Run(const std::vector<SqlValue>& inputs, SqlRows* rows, int64_t* affected) {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  // A change runs in the write transaction: while it holds the lock no other connection can
  // add a trigger, so the table's triggers are looked up once per transaction.
  if (KeysUnchanged(inputs) && !link->HasTriggers(keys_.table)) {
    return shorter_->Run(inputs, rows, affected);
  }
  return full_->Run(inputs, rows, affected);
}

int PrepareChange(const std::shared_ptr<Link>& link, const std::string& body,
                  std::unique_ptr<BackendStatement>& prepared) {
  auto full = std::make_unique<Statement>(link, dialect::AdaptToSqlite(body), true);
  int rc = full->Prepare();
  if (rc != status::kOk) return rc;
  UnchangedKeys keys;
  bool shorten = FindUnchangedKeys(body, keys);
  for (size_t k = 0; shorten && k < keys.columns.size(); ++k) {
    shorten = ComparesBytes(link->handle.get(), keys.table, keys.columns[k]);
  }
  std::unique_ptr<Statement> shorter;
  if (shorten) {
    shorter = std::make_unique<Statement>(link, dialect::AdaptToSqlite(keys.body), true, keys.kept);
    shorten = shorter->Prepare() == status::kOk;
  }
  if (!shorten) {
    prepared = std::move(full);
    return status::kOk;
  }
  prepared = std::make_unique<KeyedUpdate>(link, std::move(full), std::move(shorter),
                                           std::move(keys));
  return status::kOk;
}

}  // namespace db::sqlite
