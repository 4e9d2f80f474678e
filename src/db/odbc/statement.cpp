#include "db/odbc/statement.h"

#include <charconv>

#include "db/dialect/postgresql.h"
#include "db/odbc/session.h"
#include "db/status.h"

namespace db::odbc {
namespace {

bool IsIntegerType(SQLSMALLINT type) {
  return type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT;
}

}  // namespace

int Statement::ConvertInputs(Link& link, const std::vector<SqlValue>& inputs,
                             Parameters& parameters) const {
  size_t count = inputs.size();
  parameters.texts.resize(count);
  parameters.lengths.resize(count);
  parameters.integer.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const SqlValue& input = inputs[i];
    std::string& text = parameters.texts[i];
    parameters.integer[i] = input.kind == SqlValue::Kind::Int;
    // assign, not a new string: the buffer keeps its place, and so its binding
    if (input.kind == SqlValue::Kind::Text) {
      text.assign(input.text);
    } else if (input.kind == SqlValue::Kind::Int) {
      // In digits: the driver's own conversion costs a formatted print per value. The marker's
      // type stays an integer.
      char digits[16];
      auto written = std::to_chars(digits, digits + sizeof digits, static_cast<SQLINTEGER>(input.number));
      text.assign(digits, written.ptr);
    } else {
      text.clear();
    }
    parameters.lengths[i] = input.kind == SqlValue::Kind::Null ? SQL_NULL_DATA
                                                               : static_cast<SQLLEN>(text.size());
  }
  for (const dialect::DateInput& date : text_.dateInputs) {
    size_t i = static_cast<size_t>(date.position);
    if (inputs[i].kind == SqlValue::Kind::Null) continue;
    if (inputs[i].kind == SqlValue::Kind::Int) parameters.texts[i].clear();  // a number is no date text
    std::string iso;
    int rc = dialect::DateTextToIso(parameters.texts[i], date.model, iso);
    if (rc != status::kOk) return link.FailWith(rc, "invalid date text '" + parameters.texts[i] + "'");
    parameters.texts[i].assign(iso);
    parameters.lengths[i] = static_cast<SQLLEN>(parameters.texts[i].size());
  }
  return status::kOk;
}

const std::string& Statement::TextFor(const dialect::Dialect& dialect,
                                      const std::vector<SqlValue>& inputs) const {
  for (const Variant& variant : variants_) {
    bool same = variant.integer.size() == inputs.size();
    for (size_t i = 0; same && i < inputs.size(); ++i) {
      same = variant.integer[i] == (inputs[i].kind == SqlValue::Kind::Int);
    }
    if (same) return variant.sql;
  }
  Variant variant;
  for (const SqlValue& input : inputs) variant.integer.push_back(input.kind == SqlValue::Kind::Int);
  variant.sql = dialect.TypedText(text_.sql, variant.integer);
  variants_.push_back(std::move(variant));
  return variants_.back().sql;
}

namespace {

// Short texts get a buffer of their own at once, so that most never move.
constexpr size_t kTextBuffer = 64;

bool BoundAsTheyStand(const BoundInputs& inputs) {
  const Parameters& parameters = inputs.parameters;
  if (inputs.bound.size() != parameters.texts.size()) return false;
  for (size_t i = 0; i < parameters.texts.size(); ++i) {
    const BoundInputs::Binding& binding = inputs.bound[i];
    if (binding.at != parameters.texts[i].data() || binding.size != parameters.texts[i].capacity() ||
        binding.integer != parameters.integer[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

int BindInputs(Link& link, SQLHSTMT handle, BoundInputs& inputs) {
  if (BoundAsTheyStand(inputs)) return status::kOk;
  Parameters& parameters = inputs.parameters;
  SQLFreeStmt(handle, SQL_RESET_PARAMS);
  inputs.bound.clear();
  for (size_t i = 0; i < parameters.texts.size(); ++i) {
    auto position = static_cast<SQLUSMALLINT>(i + 1);
    std::string& text = parameters.texts[i];
    text.reserve(kTextBuffer);
    size_t size = text.capacity();
    bool integer = parameters.integer[i];
    SQLRETURN rc = SQLBindParameter(handle, position, SQL_PARAM_INPUT, SQL_C_CHAR,
                                    integer ? SQL_INTEGER : SQL_VARCHAR, integer ? 0 : size, 0,
                                    text.data(), static_cast<SQLLEN>(size), &parameters.lengths[i]);
    if (!SQL_SUCCEEDED(rc)) {
      inputs.bound.clear();  // half bound: all again next time
      return link.Fail(SQL_HANDLE_STMT, handle);
    }
    inputs.bound.push_back({text.data(), size, integer});
  }
  return status::kOk;
}

// Integer columns become Int, all else Text, as on the other backends.
int ReadValue(Link& link, SQLHSTMT handle, SQLUSMALLINT column, bool integer, SqlValue& value) {
  SQLLEN length = 0;
  if (integer) {
    SQLBIGINT number = 0;
    if (!SQL_SUCCEEDED(SQLGetData(handle, column, SQL_C_SBIGINT, &number, 0, &length))) {
      return link.Fail(SQL_HANDLE_STMT, handle);
    }
    if (length != SQL_NULL_DATA) {
      value.kind = SqlValue::Kind::Int;
      value.number = number;
    }
    return status::kOk;
  }
  char buffer[256];
  for (;;) {
    SQLRETURN rc = SQLGetData(handle, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
    if (rc == SQL_NO_DATA) return status::kOk;  // a long value read to its end
    if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle);
    if (length == SQL_NULL_DATA) return status::kOk;
    value.kind = SqlValue::Kind::Text;
    bool whole = length != SQL_NO_TOTAL && length < static_cast<SQLLEN>(sizeof buffer);
    value.text.append(buffer, whole ? static_cast<size_t>(length) : sizeof buffer - 1);
    if (whole) return status::kOk;
  }
}

namespace {

// Which columns of the current result are integers.
int DescribeResult(Link& link, SQLHSTMT handle, std::vector<bool>& integerColumns) {
  SQLSMALLINT columns = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(handle, &columns))) return link.Fail(SQL_HANDLE_STMT, handle);
  integerColumns.assign(static_cast<size_t>(columns), false);
  for (SQLSMALLINT c = 1; c <= columns; ++c) {
    SQLSMALLINT type = 0;
    SQLRETURN rc = SQLDescribeCol(handle, static_cast<SQLUSMALLINT>(c), nullptr, 0, nullptr, &type,
                                  nullptr, nullptr, nullptr);
    if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle);
    integerColumns[static_cast<size_t>(c - 1)] = IsIntegerType(type);
  }
  return status::kOk;
}

// Every row of the result into `rows`, each of its `width` columns taken by `take(column,
// value)`; a failure leaves `rows` as it was.
template <typename Take>
int FetchEachRow(Link& link, SQLHSTMT handle, size_t width, SqlRows& rows, Take take) {
  size_t before = rows.size();
  SqlRow row(width);
  for (;;) {
    SQLRETURN rc = SQLFetch(handle);
    if (rc == SQL_NO_DATA) return status::kOk;
    int read = SQL_SUCCEEDED(rc) ? status::kOk : link.Fail(SQL_HANDLE_STMT, handle);
    for (size_t c = 0; c < row.size() && read == status::kOk; ++c) {
      row[c].Clear();
      read = take(c, row[c]);
    }
    if (read != status::kOk) {
      rows.Truncate(before);
      return read;
    }
    rows.Append(row);
  }
}

// As the pieces SQLGetData read before: most values fit, a longer one is read again whole.
constexpr size_t kColumnBuffer = 256;

bool ReadsBoundColumns(SQLHDBC connection) {
  SQLUINTEGER extensions = 0;
  SQLRETURN rc = SQLGetInfo(connection, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr);
  return SQL_SUCCEEDED(rc) && (extensions & SQL_GD_BOUND) != 0;
}

int TakeColumn(Link& link, SQLHSTMT handle, SQLUSMALLINT column, const ColumnBuffer& buffer,
               SqlValue& value) {
  if (buffer.length == SQL_NULL_DATA) return status::kOk;
  if (buffer.integer) {
    value.kind = SqlValue::Kind::Int;
    value.number = buffer.number;
    return status::kOk;
  }
  bool whole = buffer.length != SQL_NO_TOTAL && buffer.length < static_cast<SQLLEN>(buffer.text.size());
  if (!whole) return ReadValue(link, handle, column, false, value);
  value.kind = SqlValue::Kind::Text;
  value.text.assign(buffer.text.data(), static_cast<size_t>(buffer.length));
  return status::kOk;
}

// Binds a buffer to each column where the driver can still read a longer value with SQLGetData;
// false, the columns left unbound, where it cannot.
bool BindColumns(Link& link, SQLHSTMT handle, const std::vector<bool>& integerColumns,
                 std::vector<ColumnBuffer>& columns) {
  columns.clear();
  if (integerColumns.empty() || !ReadsBoundColumns(link.Connection())) return false;
  columns.resize(integerColumns.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    ColumnBuffer& buffer = columns[c];
    auto position = static_cast<SQLUSMALLINT>(c + 1);
    buffer.integer = integerColumns[c];
    SQLRETURN rc;
    if (buffer.integer) {
      rc = SQLBindCol(handle, position, SQL_C_SBIGINT, &buffer.number, 0, &buffer.length);
    } else {
      buffer.text.resize(kColumnBuffer);
      rc = SQLBindCol(handle, position, SQL_C_CHAR, buffer.text.data(),
                      static_cast<SQLLEN>(buffer.text.size()), &buffer.length);
    }
    if (!SQL_SUCCEEDED(rc)) {
      SQLFreeStmt(handle, SQL_UNBIND);
      columns.clear();
      return false;
    }
  }
  return true;
}

}  // namespace

// A change of no row is the driver's SQL_NO_DATA.
int ReadResult(Link& link, PreparedText& prepared, SQLRETURN executed, bool modifies,
               StepResult& result) {
  SQLHSTMT handle = prepared.handle.get();
  if (modifies) {
    SQLLEN changed = 0;
    if (executed != SQL_NO_DATA && !SQL_SUCCEEDED(SQLRowCount(handle, &changed))) {
      return link.Fail(SQL_HANDLE_STMT, handle);
    }
    result.affected = changed;
    return status::kOk;
  }
  if (!prepared.described) {
    int rc = DescribeResult(link, handle, prepared.integerColumns);
    if (rc != status::kOk) return rc;
    prepared.described = true;
    BindColumns(link, handle, prepared.integerColumns, prepared.columns);
  }
  std::vector<ColumnBuffer>& bound = prepared.columns;
  if (!bound.empty()) {
    return FetchEachRow(link, handle, bound.size(), result.rows, [&](size_t c, SqlValue& value) {
      return TakeColumn(link, handle, static_cast<SQLUSMALLINT>(c + 1), bound[c], value);
    });
  }
  const std::vector<bool>& integer = prepared.integerColumns;
  return FetchEachRow(link, handle, integer.size(), result.rows, [&](size_t c, SqlValue& value) {
    return ReadValue(link, handle, static_cast<SQLUSMALLINT>(c + 1), integer[c], value);
  });
}

}  // namespace db::odbc
