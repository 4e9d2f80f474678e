#include "db/sqlite/statement.h"

#include <sqlite3.h>

#include <cmath>

#include "db/sqlite/functions.h"
#include "db/status.h"

namespace db::sqlite {
namespace {

bool OnlyBlanks(const char* text) {
  while (text != nullptr && *text != '\0') {
    if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r' && *text != ';') return false;
    ++text;
  }
  return true;
}

SqlValue ColumnValue(sqlite3_stmt* statement, int column) {
  SqlValue value;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      break;
    case SQLITE_INTEGER:
      value.kind = SqlValue::Kind::Int;
      value.number = sqlite3_column_int64(statement, column);
      break;
    case SQLITE_FLOAT: {
      double number = sqlite3_column_double(statement, column);
      if (number == std::trunc(number) && std::fabs(number) < 9.0e18) {
        value.kind = SqlValue::Kind::Int;
        value.number = static_cast<int64_t>(number);
        break;
      }
      [[fallthrough]];
    }
    default: {
      const unsigned char* text = sqlite3_column_text(statement, column);
      int length = sqlite3_column_bytes(statement, column);
      value.kind = SqlValue::Kind::Text;
      value.text.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
      break;
    }
  }
  return value;
}

// TO_CHAR of the stored date in `column`, done as the row is read: a date that does not exist
// becomes an Error value of this row only. NULL and the empty text give NULL.
SqlValue ConvertedDate(sqlite3_stmt* statement, int column, const std::string& format) {
  SqlValue value;
  if (sqlite3_column_type(statement, column) == SQLITE_NULL) return value;
  const unsigned char* stored = sqlite3_column_text(statement, column);
  int length = sqlite3_column_bytes(statement, column);
  if (stored == nullptr || length == 0) return value;
  std::string_view text(reinterpret_cast<const char*>(stored), static_cast<size_t>(length));
  int rc = StoredToChar(text, format, value.text);
  if (rc == status::kOk) {
    value.kind = SqlValue::Kind::Text;
  } else {
    value.kind = SqlValue::Kind::Error;
    value.number = rc;
    value.text.clear();
  }
  return value;
}

}  // namespace

Statement::Statement(std::weak_ptr<Link> link, dialect::DialectText text, std::vector<int> bound)
    : link_(std::move(link)),
      sql_(std::move(text.sql)),
      conversions_(std::move(text.conversions)),
      bound_(std::move(bound)) {}

Statement::~Statement() {
  if (auto link = link_.lock()) link->compiled.erase(this);
}

const dialect::FetchConversion* Statement::ConversionOf(int column) const {
  for (const dialect::FetchConversion& conversion : conversions_) {
    if (conversion.column == column) return &conversion;
  }
  return nullptr;
}

// The native statement on the session's current handle, compiled when there is none yet.
int Statement::Compiled(Link& link, sqlite3_stmt*& native) {
  if (int rc = link.Ready(); rc != status::kOk) return rc;
  auto found = link.compiled.find(this);
  if (found != link.compiled.end()) {
    native = found->second.get();
    return status::kOk;
  }
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(link.handle.get(), sql_.c_str(), static_cast<int>(sql_.size()),
                              SQLITE_PREPARE_PERSISTENT, &raw, &tail);
  NativeStatement compiled(raw);
  if (rc != SQLITE_OK) return link.Fail(sqlite3_extended_errcode(link.handle.get()));
  if (!compiled || !OnlyBlanks(tail)) {  // empty, or a second statement after it
    return link.FailWith(status::kInvalidSqlStatement, "not exactly one statement: " + sql_);
  }
  native = compiled.get();
  link.compiled.emplace(this, std::move(compiled));
  return status::kOk;
}

int Statement::Prepare() {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  sqlite3_stmt* native = nullptr;
  return Compiled(*link, native);
}

int Statement::Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
                   int64_t* affected) {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  sqlite3_stmt* native = nullptr;
  int rc = Compiled(*link, native);
  if (rc != status::kOk) return rc;
  rc = Bind(*link, native, inputs);
  if (rc == status::kOk) rc = Step(*link, native, rows);
  if (rc == status::kOk && affected != nullptr) *affected = sqlite3_changes64(link->handle.get());
  sqlite3_reset(native);
  sqlite3_clear_bindings(native);
  return rc;
}

int Statement::Bind(Link& link, sqlite3_stmt* native, const std::vector<SqlValue>& inputs) {
  size_t count = bound_.empty() ? inputs.size() : bound_.size();
  if (static_cast<int>(count) != sqlite3_bind_parameter_count(native)) {
    return link.FailWith(status::kNotAllVariablesBound, "input count does not match: " + sql_);
  }
  int rc = SQLITE_OK;
  for (size_t i = 0; i < count && rc == SQLITE_OK; ++i) {
    const SqlValue& value = bound_.empty() ? inputs[i] : inputs[static_cast<size_t>(bound_[i])];
    int position = static_cast<int>(i) + 1;
    switch (value.kind) {
      case SqlValue::Kind::Null:
      case SqlValue::Kind::Error:  // never an input
        rc = sqlite3_bind_null(native, position);
        break;
      case SqlValue::Kind::Int: rc = sqlite3_bind_int64(native, position, value.number); break;
      case SqlValue::Kind::Text:
        rc = sqlite3_bind_text(native, position, value.text.data(),
                               static_cast<int>(value.text.size()), SQLITE_STATIC);
        break;
    }
  }
  return rc == SQLITE_OK ? status::kOk : link.Fail(rc);
}

// Steps to the end. A failed statement has undone its own changes; whether SQLite rolled back
// the whole transaction the transaction model asks the handle afterwards.
int Statement::Step(Link& link, sqlite3_stmt* native, SqlRows* rows) {
  int columns = sqlite3_column_count(native);
  int rc;
  SqlRow row(static_cast<size_t>(columns));
  while ((rc = sqlite3_step(native)) == SQLITE_ROW) {
    if (rows == nullptr) continue;
    for (int column = 0; column < columns; ++column) {
      const dialect::FetchConversion* conversion = ConversionOf(column);
      row[static_cast<size_t>(column)] = conversion != nullptr
                                             ? ConvertedDate(native, column, conversion->format)
                                             : ColumnValue(native, column);
    }
    rows->Append(row);
  }
  if (rc == SQLITE_DONE) return status::kOk;
  int result = link.Fail(rc);
  sqlite3_reset(native);
  return result;
}

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
  auto full = std::make_unique<Statement>(link, dialect::AdaptToSqlite(body));
  int rc = full->Prepare();
  if (rc != status::kOk) return rc;
  UnchangedKeys keys;
  bool shorten = FindUnchangedKeys(body, keys);
  for (size_t k = 0; shorten && k < keys.columns.size(); ++k) {
    shorten = ComparesBytes(link->handle.get(), keys.table, keys.columns[k]);
  }
  std::unique_ptr<Statement> shorter;
  if (shorten) {
    shorter = std::make_unique<Statement>(link, dialect::AdaptToSqlite(keys.body), keys.kept);
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
