#include "db/odbc/statement.h"

#include "db/odbc/session.h"
#include "db/postgresql/date_text.h"
#include "db/runtime/status.h"

namespace db::odbc {
namespace {

bool IsIntegerType(SQLSMALLINT type) {
  return type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT;
}

SQLCHAR* SqlText(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

}  // namespace

Statement::~Statement() {
  if (std::shared_ptr<Link> link = link_.lock()) link->DropStatement(this);
}

int Statement::Prepare() {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  return link->NewStatement(this, handle_);
}

int Statement::BindParameters(Link& link, const std::vector<SqlValue>& inputs,
                              Parameters& parameters) {
  size_t count = inputs.size();
  parameters.texts.assign(count, std::string());
  parameters.numbers.assign(count, 0);
  parameters.lengths.assign(count, SQL_NULL_DATA);
  for (size_t i = 0; i < count; ++i) {
    if (inputs[i].kind == SqlValue::Kind::Int) {
      parameters.numbers[i] = static_cast<SQLINTEGER>(inputs[i].number);
      parameters.lengths[i] = 0;
    } else if (inputs[i].kind == SqlValue::Kind::Text) {
      parameters.texts[i] = inputs[i].text;
    }
  }
  for (const postgresql::DateInput& date : text_.dateInputs) {
    size_t i = static_cast<size_t>(date.position);
    if (inputs[i].kind == SqlValue::Kind::Null) continue;
    std::string iso;
    int rc = postgresql::DateTextToIso(parameters.texts[i], date.model, iso);
    if (rc != status::kOk) return link.FailWith(rc, "invalid date text '" + parameters.texts[i] + "'");
    parameters.texts[i] = std::move(iso);
  }
  SQLFreeStmt(handle_, SQL_RESET_PARAMS);
  for (size_t i = 0; i < count; ++i) {
    auto position = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN rc;
    if (inputs[i].kind == SqlValue::Kind::Int) {
      rc = SQLBindParameter(handle_, position, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                            &parameters.numbers[i], 0, &parameters.lengths[i]);
    } else {
      std::string& text = parameters.texts[i];
      if (inputs[i].kind == SqlValue::Kind::Text) parameters.lengths[i] = static_cast<SQLLEN>(text.size());
      rc = SQLBindParameter(handle_, position, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                            text.empty() ? 1 : text.size(), 0, text.data(),
                            static_cast<SQLLEN>(text.size()), &parameters.lengths[i]);
    }
    if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle_);
  }
  return status::kOk;
}

// Integer columns become Int, all else Text, as on the other backends.
int Statement::ReadValue(Link& link, SQLUSMALLINT column, bool integer, SqlValue& value) {
  SQLLEN length = 0;
  if (integer) {
    SQLBIGINT number = 0;
    if (!SQL_SUCCEEDED(SQLGetData(handle_, column, SQL_C_SBIGINT, &number, 0, &length))) {
      return link.Fail(SQL_HANDLE_STMT, handle_);
    }
    if (length != SQL_NULL_DATA) {
      value.kind = SqlValue::Kind::Int;
      value.number = number;
    }
    return status::kOk;
  }
  char buffer[256];
  for (;;) {
    SQLRETURN rc = SQLGetData(handle_, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
    if (rc == SQL_NO_DATA) return status::kOk;  // a long value read to its end
    if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle_);
    if (length == SQL_NULL_DATA) return status::kOk;
    value.kind = SqlValue::Kind::Text;
    bool whole = length != SQL_NO_TOTAL && length < static_cast<SQLLEN>(sizeof buffer);
    value.text.append(buffer, whole ? static_cast<size_t>(length) : sizeof buffer - 1);
    if (whole) return status::kOk;
  }
}

int Statement::ReadRows(Link& link, SqlRows& rows) {
  if (!described_) {
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(handle_, &columns))) {
      return link.Fail(SQL_HANDLE_STMT, handle_);
    }
    integerColumns_.assign(static_cast<size_t>(columns), false);
    for (SQLSMALLINT c = 1; c <= columns; ++c) {
      SQLSMALLINT type = 0;
      SQLRETURN rc = SQLDescribeCol(handle_, static_cast<SQLUSMALLINT>(c), nullptr, 0, nullptr,
                                    &type, nullptr, nullptr, nullptr);
      if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle_);
      integerColumns_[static_cast<size_t>(c - 1)] = IsIntegerType(type);
    }
    described_ = true;
  }
  SqlRow row(integerColumns_.size());
  for (;;) {
    SQLRETURN rc = SQLFetch(handle_);
    if (rc == SQL_NO_DATA) return status::kOk;
    if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle_);
    for (size_t c = 0; c < row.size(); ++c) {
      row[c].Clear();
      int read = ReadValue(link, static_cast<SQLUSMALLINT>(c + 1), integerColumns_[c], row[c]);
      if (read != status::kOk) return read;
    }
    rows.Append(row);
  }
}

int Statement::Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
                   int64_t* affected) {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  if (static_cast<int>(inputs.size()) != text_.parameterCount) return status::kNotAllVariablesBound;
  Parameters parameters;
  int rc = BindParameters(*link, inputs, parameters);
  if (rc != status::kOk) return rc;
  std::vector<bool> integer(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) integer[i] = inputs[i].kind == SqlValue::Kind::Int;
  if (!prepared_ || integer != integerInputs_) {
    std::string sql = TextForInputs(link->ServerDialect(), text_.sql, integer);
    prepared_ = false;
    if (!SQL_SUCCEEDED(SQLPrepare(handle_, SqlText(sql), SQL_NTS))) {
      return link->Fail(SQL_HANDLE_STMT, handle_);
    }
    prepared_ = true;
    integerInputs_ = std::move(integer);
  }
  rc = link->Work().BeforeStatement(modifies_);
  if (rc != status::kOk) return rc;

  SQLRETURN executed = SQLExecute(handle_);
  if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) {
    rc = link->Fail(SQL_HANDLE_STMT, handle_);
  } else if (rows != nullptr) {
    size_t before = rows->size();
    rc = ReadRows(*link, *rows);
    if (rc != status::kOk) rows->Truncate(before);
  } else if (affected != nullptr) {
    SQLLEN count = 0;
    if (executed != SQL_NO_DATA && !SQL_SUCCEEDED(SQLRowCount(handle_, &count))) {
      rc = link->Fail(SQL_HANDLE_STMT, handle_);
    }
    *affected = count;
  }
  SQLFreeStmt(handle_, SQL_CLOSE);
  if (rc != status::kOk) link->Work().AfterFailure(rc);
  return rc;
}

}  // namespace db::odbc
