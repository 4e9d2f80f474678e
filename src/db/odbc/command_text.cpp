#include "db/odbc/command_text.h"

#include <string>

#include "db/odbc/statement.h"
#include "db/runtime/status.h"

namespace db::odbc {
namespace {

bool IsSavepointCommand(const Command& command) {
  return command.kind == Command::Kind::Savepoint || command.kind == Command::Kind::Release ||
         command.kind == Command::Kind::RollbackTo;
}

std::string ControlSql(const Command& command) {
  switch (command.kind) {
    case Command::Kind::Savepoint: return "SAVEPOINT " + command.savepoint;
    case Command::Kind::Release: return "RELEASE SAVEPOINT " + command.savepoint;
    case Command::Kind::RollbackTo: return "ROLLBACK TO SAVEPOINT " + command.savepoint;
    default: return {};
  }
}

// One text: savepoint commands, at most one statement, then the releases after it.
struct Text {
  size_t begin = 0;
  size_t end = 0;
  size_t statement = 0;  // end when none
};

Text NextText(std::span<const Command> commands, size_t begin, bool combine) {
  Text text{begin, begin, commands.size()};
  while (text.end < commands.size() && IsSavepointCommand(commands[text.end])) {
    ++text.end;
    if (!combine) return text;
  }
  if (text.end < commands.size() && commands[text.end].kind == Command::Kind::Statement) {
    text.statement = text.end++;
    while (combine && text.end < commands.size() &&
           commands[text.end].kind == Command::Kind::Release) {
      ++text.end;
    }
  }
  if (text.statement == commands.size()) text.statement = text.end;
  return text;
}

std::string ControlText(std::span<const Command> commands, size_t begin, size_t end) {
  std::string sql;
  for (size_t i = begin; i < end; ++i) sql += (sql.empty() ? "" : ";") + ControlSql(commands[i]);
  return sql;
}

// The statement's result, reached after the `leading` results of the commands before it.
// A change of no row is the driver's SQL_NO_DATA.
int ReadResult(Link& link, PreparedText& prepared, SQLRETURN executed, size_t leading,
               const BackendStep& step, StepResult& result) {
  SQLHSTMT handle = prepared.handle.get();
  SQLRETURN moved = executed;
  for (size_t i = 0; i < leading && (SQL_SUCCEEDED(moved) || moved == SQL_NO_DATA); ++i) {
    moved = SQLMoreResults(handle);
  }
  if (moved == SQL_NO_DATA && step.modifies) {
    result.affected = 0;
    return status::kOk;
  }
  if (!SQL_SUCCEEDED(moved)) return link.Fail(SQL_HANDLE_STMT, handle);
  if (step.modifies) {
    SQLLEN changed = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(handle, &changed))) return link.Fail(SQL_HANDLE_STMT, handle);
    result.affected = changed;
    return status::kOk;
  }
  if (!prepared.described) {
    int rc = DescribeResult(link, handle, prepared.integerColumns);
    if (rc != status::kOk) return rc;
    prepared.described = true;
  }
  return FetchRows(link, handle, prepared.integerColumns, result.rows);
}

// Runs a text with a statement. Inputs that cannot be sent fail the statement before the
// driver sees it; the commands in front of it go out alone.
int RunStatementText(Link& link, std::span<const Command> commands, const Text& text,
                     StepResult& result) {
  const BackendStep& step = *commands[text.statement].step;
  const auto& statement = static_cast<const Statement&>(*step.statement);
  Parameters parameters;
  int rc = statement.ConvertInputs(link, step.inputs, parameters);
  if (rc != status::kOk) {
    if (text.statement > text.begin) link.ExecuteControl(ControlText(commands, text.begin, text.statement));
    return rc;
  }
  std::string sql = ControlText(commands, text.begin, text.statement);
  if (!sql.empty()) sql += ";";
  sql += statement.TextFor(link.ServerDialect(), parameters);
  if (text.end > text.statement + 1) sql += ";" + ControlText(commands, text.statement + 1, text.end);
  if (link.Lost()) return link.FailNotConnected();
  PreparedText* prepared = link.Prepared(sql, rc);
  if (prepared == nullptr) return rc;
  SQLHSTMT handle = prepared->handle.get();
  SQLFreeStmt(handle, SQL_RESET_PARAMS);
  rc = BindParameters(link, handle, parameters, 1);
  if (rc != status::kOk) return rc;
  {
    // Cancellable by a stop from the execute to the last row read.
    Executing executing(link.Watch(), handle);
    SQLRETURN executed = SQLExecute(handle);
    if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) {
      rc = link.Fail(SQL_HANDLE_STMT, handle);
    } else {
      rc = ReadResult(link, *prepared, executed, text.statement - text.begin, step, result);
    }
  }
  SQLFreeStmt(handle, SQL_CLOSE);
  return rc;
}

int RunEnd(Link& link, const Command& command) {
  switch (command.kind) {
    case Command::Kind::Begin: return link.SetAutocommit(false);
    case Command::Kind::Commit: return link.EndTransaction(true);
    default: return link.EndTransaction(false);
  }
}

}  // namespace

int SendCommands(Link& link, std::span<const Command> commands, std::vector<StepResult>& results,
                 size_t& done) {
  bool combine = link.OwnRollback();
  done = 0;
  while (done < commands.size()) {
    const Command& command = commands[done];
    int rc;
    if (command.kind == Command::Kind::Begin || command.kind == Command::Kind::Commit ||
        command.kind == Command::Kind::Rollback) {
      rc = RunEnd(link, command);
      if (rc != status::kOk) return rc;
      ++done;
      continue;
    }
    Text text = NextText(commands, done, combine);
    if (text.statement < text.end) {
      rc = RunStatementText(link, commands, text, results[text.statement]);
      if (rc != status::kOk) {
        done = text.statement;
        return rc;
      }
    } else {
      rc = link.ExecuteControl(ControlText(commands, text.begin, text.end));
      if (rc != status::kOk) return rc;
    }
    done = text.end;
  }
  return status::kOk;
}

}  // namespace db::odbc
