#include "db/odbc/series.h"

#include <string>

#include "db/odbc/session.h"
#include "db/runtime/sql_scanner.h"
#include "db/runtime/status.h"

namespace db::odbc {
namespace {

// The markers of a text for PREPARE: "$1", "$2", ... in order.
std::string NumberedMarkers(const std::string& sql) {
  std::string out;
  int number = 0;
  for (const SqlToken& token : TokenizeSql(sql)) {
    if (token.kind == SqlTokenKind::Marker) {
      out += '$';  // appended apart: GCC 12 at -O3 takes "$" + text for an overlapping copy
      out += std::to_string(++number);
    } else {
      out.append(token.text);
    }
  }
  return out;
}

// An input written into the text: a text as a standard string (the session has
// standard_conforming_strings on), its quotes doubled. A quote byte is never part of a
// multi-byte character in any client encoding, so this holds whatever the encoding; a
// backslash doubled in an escape string would not (Shift-JIS, Big5, GBK carry it inside
// characters).
std::string Literal(const Statement::Parameters& parameters, size_t i) {
  if (parameters.lengths[i] == SQL_NULL_DATA) return "NULL";
  if (parameters.integer[i]) return std::to_string(parameters.numbers[i]);
  std::string literal = "'";
  for (char c : parameters.texts[i]) {
    if (c == '\'') literal += c;
    literal += c;
  }
  return literal + "'";
}

std::string ExecuteText(const std::string& name, const Statement::Parameters& parameters) {
  std::string text = "EXECUTE " + name;
  for (size_t i = 0; i < parameters.texts.size(); ++i) {
    text += i == 0 ? "(" : ",";
    text += Literal(parameters, i);
  }
  return parameters.texts.empty() ? text : text + ")";
}

int OneByOne(const std::vector<Statement*>& statements,
             const std::vector<std::vector<SqlValue>>& inputs, size_t count,
             std::vector<SqlRows>& rows, size_t& succeeded) {
  for (size_t i = 0; i < count; ++i) {
    int rc = statements[i]->Run(inputs[i], &rows[i], nullptr);
    if (rc != status::kOk) return rc;
    ++succeeded;
  }
  return status::kOk;
}

// The text and the number of results before the first EXECUTE's.
struct OneText {
  std::string sql;
  int leading = 0;
};

int BuildText(Link& link, const std::vector<Statement*>& statements,
              const std::vector<Statement::Parameters>& parameters, size_t count,
              const Wrap& wrap, OneText& text) {
  text.sql = wrap.prefix;
  text.leading = wrap.statements;
  for (size_t i = 0; i < count; ++i) {
    std::string name;
    std::string sql = NumberedMarkers(statements[i]->TextFor(Dialect::Postgres, parameters[i]));
    int rc = link.ServerStatement(sql, parameters[i].integer, name);
    if (rc != status::kOk) return rc;
    if (i > 0) text.sql += ";";
    text.sql += ExecuteText(name, parameters[i]);
  }
  return status::kOk;
}

int ReadResults(Link& link, SQLHSTMT handle, const OneText& text, size_t count,
                std::vector<SqlRows>* rows, int64_t* affected, size_t& succeeded) {
  for (int i = 1; i < text.leading; ++i) {
    if (!SQL_SUCCEEDED(SQLMoreResults(handle))) return link.Fail(SQL_HANDLE_STMT, handle);
  }
  std::vector<bool> integerColumns;
  for (size_t i = 0; i < count; ++i) {
    SQLRETURN moved = i > 0 || text.leading > 0 ? SQLMoreResults(handle) : SQL_SUCCESS;
    if (moved == SQL_NO_DATA && rows == nullptr) {
      if (affected != nullptr) *affected = 0;  // the driver's answer to a change of no row
      ++succeeded;
      continue;
    }
    if (!SQL_SUCCEEDED(moved)) return link.Fail(SQL_HANDLE_STMT, handle);
    int rc = status::kOk;
    if (rows != nullptr) {
      rc = DescribeResult(link, handle, integerColumns);
      if (rc == status::kOk) rc = FetchRows(link, handle, integerColumns, (*rows)[i]);
    } else if (affected != nullptr) {
      SQLLEN changed = 0;
      if (!SQL_SUCCEEDED(SQLRowCount(handle, &changed))) rc = link.Fail(SQL_HANDLE_STMT, handle);
      *affected = changed;
    }
    if (rc != status::kOk) return rc;
    ++succeeded;
  }
  return status::kOk;
}

}  // namespace

int RunInOneText(Link& link, const std::vector<Statement*>& statements,
                 const std::vector<Statement::Parameters>& parameters, size_t count,
                 const Wrap& wrap, std::vector<SqlRows>* rows, int64_t* affected,
                 size_t& succeeded, bool& sent) {
  succeeded = 0;
  sent = false;
  OneText text;
  SQLHSTMT handle = SQL_NULL_HANDLE;
  int rc = BuildText(link, statements, parameters, count, wrap, text);
  if (rc == status::kOk) rc = link.DirectHandle(handle);
  if (rc != status::kOk) return rc;
  sent = true;
  SQLCHAR* sql = reinterpret_cast<SQLCHAR*>(text.sql.data());
  {
    Executing executing(link.Watch(), handle);
    SQLRETURN executed = SQLExecDirect(handle, sql, SQL_NTS);
    if (!SQL_SUCCEEDED(executed)) {
      rc = link.Fail(SQL_HANDLE_STMT, handle);
    } else {
      rc = ReadResults(link, handle, text, count, rows, affected, succeeded);
    }
  }
  SQLFreeStmt(handle, SQL_CLOSE);
  return rc;
}

int RunSeries(Link& link, const std::vector<Statement*>& statements,
              const std::vector<std::vector<SqlValue>>& inputs,
              std::vector<SqlRows>& rows, size_t& succeeded) {
  succeeded = 0;
  std::vector<Statement::Parameters> parameters(statements.size());
  size_t count = 0;
  int stopped = status::kOk;
  bool queries = true;
  for (; count < statements.size(); ++count) {
    stopped = statements[count]->ConvertInputs(link, inputs[count], parameters[count]);
    if (stopped != status::kOk) break;
    queries = queries && !statements[count]->OpensTransaction();
  }
  int rc = status::kOk;
  if (count < 2 || !queries) {
    rc = OneByOne(statements, inputs, count, rows, succeeded);
    return rc != status::kOk ? rc : stopped;
  }
  Transaction& work = link.Work();
  Wrap wrap = work.WrapFor();
  bool sent = false;
  rc = RunInOneText(link, statements, parameters, count, wrap, &rows, nullptr, succeeded, sent);
  if (rc == status::kOk) {
    work.AfterSuccess(false, wrap);
  } else {
    if (sent) work.AfterFailure(rc, wrap);
    // Nothing ran: once more one by one, to learn which fails and how.
    if (succeeded == 0) rc = OneByOne(statements, inputs, count, rows, succeeded);
  }
  return rc != status::kOk ? rc : stopped;
}

}  // namespace db::odbc
