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

std::string ExecuteText(const std::string& name, size_t inputCount) {
  std::string text = "EXECUTE " + name;
  if (inputCount == 0) return text;
  text += "(?";
  for (size_t i = 1; i < inputCount; ++i) text += ",?";
  return text + ")";
}

int OneByOne(const std::vector<Statement*>& statements,
             const std::vector<std::vector<SqlValue>>& inputs, size_t count,
             std::vector<std::vector<SqlRow>>& rows, size_t& succeeded) {
  for (size_t i = 0; i < count; ++i) {
    int rc = statements[i]->Run(inputs[i], &rows[i], nullptr);
    if (rc != status::kOk) return rc;
    ++succeeded;
  }
  return status::kOk;
}

// The first `count` statements as one text; 1 when any of them cannot go out that way.
int SeriesText(Link& link, const std::vector<Statement*>& statements,
               const std::vector<Statement::Parameters>& parameters, size_t count,
               std::string& text) {
  for (size_t i = 0; i < count; ++i) {
    if (statements[i]->Modifies()) return 1;
    std::string name;
    std::string sql = NumberedMarkers(statements[i]->TextFor(Dialect::Postgres, parameters[i]));
    if (link.ServerStatement(sql, name) != status::kOk) return 1;
    if (i > 0) text += ";";
    text += ExecuteText(name, parameters[i].texts.size());
  }
  return status::kOk;
}

int ReadSeries(Link& link, SQLHSTMT handle, size_t count, std::vector<std::vector<SqlRow>>& rows,
               size_t& succeeded) {
  std::vector<bool> integerColumns;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && !SQL_SUCCEEDED(SQLMoreResults(handle))) return link.Fail(SQL_HANDLE_STMT, handle);
    int rc = DescribeResult(link, handle, integerColumns);
    if (rc == status::kOk) rc = FetchRows(link, handle, integerColumns, rows[i]);
    if (rc != status::kOk) return rc;
    ++succeeded;
  }
  return status::kOk;
}

}  // namespace

int RunSeries(Link& link, const std::vector<Statement*>& statements,
              const std::vector<std::vector<SqlValue>>& inputs,
              std::vector<std::vector<SqlRow>>& rows, size_t& succeeded) {
  succeeded = 0;
  // Sized first: the driver keeps pointers into the parameters until the execute is over.
  std::vector<Statement::Parameters> parameters(statements.size());
  size_t count = 0;
  int stopped = status::kOk;
  for (; count < statements.size(); ++count) {
    stopped = statements[count]->ConvertInputs(link, inputs[count], parameters[count]);
    if (stopped != status::kOk) break;
  }
  std::string text;
  SQLHSTMT handle = SQL_NULL_HANDLE;
  if (count < 2 || SeriesText(link, statements, parameters, count, text) != status::kOk ||
      link.SeriesHandle(text, handle) != status::kOk) {
    int rc = OneByOne(statements, inputs, count, rows, succeeded);
    return rc != status::kOk ? rc : stopped;
  }
  SQLFreeStmt(handle, SQL_RESET_PARAMS);
  int rc = status::kOk;
  for (size_t i = 0, first = 0; i < count && rc == status::kOk; ++i) {
    rc = Statement::BindInputs(link, handle, first, parameters[i]);
    first += parameters[i].texts.size();
  }
  if (rc == status::kOk && !SQL_SUCCEEDED(SQLExecute(handle))) rc = 1;
  if (rc == status::kOk) {
    rc = ReadSeries(link, handle, count, rows, succeeded);
    SQLFreeStmt(handle, SQL_CLOSE);
    if (rc != status::kOk) link.Work().AfterFailure(rc);
  } else {
    SQLFreeStmt(handle, SQL_CLOSE);
    rc = OneByOne(statements, inputs, count, rows, succeeded);
  }
  return rc != status::kOk ? rc : stopped;
}

}  // namespace db::odbc
