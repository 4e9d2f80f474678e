#include "db/sqlite/statement.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>

#include "db/runtime/status.h"
#include "db/sqlite/connection.h"
#include "db/sqlite/stored_date.h"

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

Statement::Statement(std::shared_ptr<Connection> connection, SqliteText text, bool modifies)
    : connection_(std::move(connection)),
      sql_(std::move(text.sql)),
      conversions_(std::move(text.conversions)),
      modifies_(modifies) {}

// A statement of a retired handle was finalized with it.
Statement::~Statement() {
  if (Current()) sqlite3_finalize(statement_);
}

const FetchConversion* Statement::ConversionOf(int column) const {
  for (const FetchConversion& conversion : conversions_) {
    if (conversion.column == column) return &conversion;
  }
  return nullptr;
}

bool Statement::Current() const {
  return statement_ != nullptr && connection_->Handle() != nullptr &&
         generation_ == connection_->Generation();
}

int Statement::Prepare() {
  if (Current()) sqlite3_finalize(statement_);
  statement_ = nullptr;
  sqlite3* handle = connection_->Handle();
  if (handle == nullptr) return connection_->FailWith(status::kNotConnected, "no connection");
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(handle, sql_.c_str(), static_cast<int>(sql_.size()),
                              SQLITE_PREPARE_PERSISTENT, &statement_, &tail);
  if (rc != SQLITE_OK) {
    statement_ = nullptr;
    return connection_->Fail(sqlite3_extended_errcode(handle));
  }
  generation_ = connection_->Generation();
  if (statement_ == nullptr || !OnlyBlanks(tail)) {  // empty, or a second statement after it
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return connection_->FailWith(status::kInvalidSqlStatement, "not exactly one statement: " + sql_);
  }
  return status::kOk;
}

int Statement::Run(const std::vector<SqlValue>& inputs, std::vector<SqlRow>* rows,
                   int64_t* affected) {
  if (connection_->Handle() == nullptr) {
    return connection_->FailWith(status::kNotConnected, "no connection");
  }
  if (!Current()) {  // the schema was switched since it was prepared
    int rc = Prepare();
    if (rc != status::kOk) return rc;
  }
  int rc = Bind(inputs);
  if (rc == status::kOk && modifies_) rc = connection_->BeginIfIdle();
  if (rc == status::kOk) rc = Step(rows);
  if (rc == status::kOk && affected != nullptr) {
    *affected = sqlite3_changes64(connection_->Handle());
  }
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  return rc;
}

int Statement::Bind(const std::vector<SqlValue>& inputs) {
  if (static_cast<int>(inputs.size()) != sqlite3_bind_parameter_count(statement_)) {
    return connection_->FailWith(status::kNotAllVariablesBound, "input count does not match: " + sql_);
  }
  int rc = SQLITE_OK;
  for (size_t i = 0; i < inputs.size() && rc == SQLITE_OK; ++i) {
    const SqlValue& value = inputs[i];
    int position = static_cast<int>(i) + 1;
    switch (value.kind) {
      case SqlValue::Kind::Null:
      case SqlValue::Kind::Error:  // never an input
        rc = sqlite3_bind_null(statement_, position);
        break;
      case SqlValue::Kind::Int: rc = sqlite3_bind_int64(statement_, position, value.number); break;
      case SqlValue::Kind::Text:
        rc = sqlite3_bind_text(statement_, position, value.text.data(),
                               static_cast<int>(value.text.size()), SQLITE_STATIC);
        break;
    }
  }
  return rc == SQLITE_OK ? status::kOk : connection_->Fail(rc);
}

// Steps to the end; a failed statement has undone its own changes (statement journal), and
// the transaction goes on unless SQLite had to roll it back as a whole.
int Statement::Step(std::vector<SqlRow>* rows) {
  int columns = sqlite3_column_count(statement_);
  int rc;
  while ((rc = sqlite3_step(statement_)) == SQLITE_ROW) {
    if (rows == nullptr) continue;
    SqlRow row;
    row.reserve(static_cast<size_t>(columns));
    for (int column = 0; column < columns; ++column) {
      const FetchConversion* conversion = ConversionOf(column);
      row.push_back(conversion != nullptr ? ConvertedDate(statement_, column, conversion->format)
                                          : ColumnValue(statement_, column));
    }
    rows->push_back(std::move(row));
  }
  if (rc == SQLITE_DONE) return status::kOk;
  int result = connection_->Fail(rc);
  sqlite3_reset(statement_);
  connection_->NoteTransactionEnd();
  return result;
}

}  // namespace db::sqlite
