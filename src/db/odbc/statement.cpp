#include "db/odbc/statement.h"

#include "db/dialect/postgresql_dates.h"
#include "db/odbc/series.h"
#include "db/odbc/session.h"
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

int Statement::ConvertInputs(Link& link, const std::vector<SqlValue>& inputs,
                             Parameters& parameters) const {
  if (static_cast<int>(inputs.size()) != text_.parameterCount) return status::kNotAllVariablesBound;
  size_t count = inputs.size();
  parameters.texts.assign(count, std::string());
  parameters.numbers.assign(count, 0);
  parameters.lengths.assign(count, SQL_NULL_DATA);
  parameters.integer.assign(count, false);
  for (size_t i = 0; i < count; ++i) {
    if (inputs[i].kind == SqlValue::Kind::Int) {
      parameters.numbers[i] = static_cast<SQLINTEGER>(inputs[i].number);
      parameters.lengths[i] = 0;
      parameters.integer[i] = true;
    } else if (inputs[i].kind == SqlValue::Kind::Text) {
      parameters.texts[i] = inputs[i].text;
      parameters.lengths[i] = static_cast<SQLLEN>(inputs[i].text.size());
    }
  }
  for (const dialect::DateInput& date : text_.dateInputs) {
    size_t i = static_cast<size_t>(date.position);
    if (inputs[i].kind == SqlValue::Kind::Null) continue;
    std::string iso;
    int rc = dialect::DateTextToIso(parameters.texts[i], date.model, iso);
    if (rc != status::kOk) return link.FailWith(rc, "invalid date text '" + parameters.texts[i] + "'");
    parameters.texts[i] = std::move(iso);
    parameters.lengths[i] = static_cast<SQLLEN>(parameters.texts[i].size());
  }
  return status::kOk;
}

int Statement::BindInputs(Link& link, Parameters& parameters) {
  SQLHSTMT handle = handle_;
  for (size_t i = 0; i < parameters.texts.size(); ++i) {
    auto position = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN rc;
    if (parameters.integer[i]) {
      rc = SQLBindParameter(handle, position, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                            &parameters.numbers[i], 0, &parameters.lengths[i]);
    } else {
      std::string& text = parameters.texts[i];
      rc = SQLBindParameter(handle, position, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                            text.empty() ? 1 : text.size(), 0, text.data(),
                            static_cast<SQLLEN>(text.size()), &parameters.lengths[i]);
    }
    if (!SQL_SUCCEEDED(rc)) return link.Fail(SQL_HANDLE_STMT, handle);
  }
  return status::kOk;
}

std::string Statement::TextFor(Dialect dialect, const Parameters& parameters) const {
  return TextForInputs(dialect, text_.sql, parameters.integer);
}

namespace {

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

}  // namespace

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

int FetchRows(Link& link, SQLHSTMT handle, const std::vector<bool>& integerColumns,
              SqlRows& rows) {
  size_t before = rows.size();
  SqlRow row(integerColumns.size());
  for (;;) {
    SQLRETURN rc = SQLFetch(handle);
    if (rc == SQL_NO_DATA) return status::kOk;
    int read = SQL_SUCCEEDED(rc) ? status::kOk : link.Fail(SQL_HANDLE_STMT, handle);
    for (size_t c = 0; c < row.size() && read == status::kOk; ++c) {
      row[c].Clear();
      read = ReadValue(link, handle, static_cast<SQLUSMALLINT>(c + 1), integerColumns[c], row[c]);
    }
    if (read != status::kOk) {
      rows.Truncate(before);
      return read;
    }
    rows.Append(row);
  }
}

int Statement::ReadRows(Link& link, SqlRows& rows) {
  if (!described_) {
    int rc = DescribeResult(link, handle_, integerColumns_);
    if (rc != status::kOk) return rc;
    described_ = true;
  }
  return FetchRows(link, handle_, integerColumns_, rows);
}

int Statement::Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
                   int64_t* affected) {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  if (link->Lost()) return link->FailNotConnected();
  Parameters parameters;
  int rc = ConvertInputs(*link, inputs, parameters);
  if (rc != status::kOk) return rc;
  Transaction& work = link->Work();
  rc = work.BeforeStatement(OpensTransaction());
  if (rc != status::kOk) return rc;
  Wrap wrap = work.WrapFor();
  bool sent = true;
  rc = wrap.prefix.empty() ? RunAlone(*link, parameters, rows, affected)
                           : RunWrapped(*link, parameters, wrap, rows, affected, sent);
  if (rc == status::kOk) {
    work.AfterSuccess(OpensTransaction(), wrap);
  } else if (sent) {
    work.AfterFailure(rc, wrap);
  }
  return rc;
}

int Statement::RunAlone(Link& link, Parameters& parameters, SqlRows* rows,
                        int64_t* affected) {
  SQLFreeStmt(handle_, SQL_RESET_PARAMS);
  int rc = BindInputs(link, parameters);
  if (rc != status::kOk) return rc;
  if (!prepared_ || parameters.integer != integerInputs_) {
    std::string sql = TextFor(link.ServerDialect(), parameters);
    prepared_ = false;
    if (!SQL_SUCCEEDED(SQLPrepare(handle_, SqlText(sql), SQL_NTS))) {
      return link.Fail(SQL_HANDLE_STMT, handle_);
    }
    prepared_ = true;
    integerInputs_ = parameters.integer;
  }
  rc = ExecuteAndRead(link, rows, affected);
  SQLFreeStmt(handle_, SQL_CLOSE);
  return rc;
}

// Cancellable by a stop from the execute to the last row read.
int Statement::ExecuteAndRead(Link& link, SqlRows* rows, int64_t* affected) {
  Executing executing(link.Watch(), handle_);
  SQLRETURN executed = SQLExecute(handle_);
  if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) return link.Fail(SQL_HANDLE_STMT, handle_);
  if (rows != nullptr) return ReadRows(link, *rows);
  if (affected == nullptr) return status::kOk;
  SQLLEN count = 0;
  if (executed != SQL_NO_DATA && !SQL_SUCCEEDED(SQLRowCount(handle_, &count))) {
    return link.Fail(SQL_HANDLE_STMT, handle_);
  }
  *affected = count;
  return status::kOk;
}

// In one text with the savepoint in front of it, so that the savepoint costs no round trip.
int Statement::RunWrapped(Link& link, Parameters& parameters, const Wrap& wrap,
                          SqlRows* rows, int64_t* affected, bool& sent) {
  std::vector<Parameters> one;
  one.push_back(std::move(parameters));
  std::vector<SqlRows> results(1);
  size_t succeeded = 0;
  int rc = RunInOneText(link, {this}, one, 1, wrap, rows != nullptr ? &results : nullptr,
                        affected, succeeded, sent);
  if (rc == status::kOk && rows != nullptr) {
    rows->Append(std::move(results[0]));
  }
  return rc;
}

}  // namespace db::odbc
