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

bool IsQuery(const Command& command) {
  return command.kind == Command::Kind::Statement && !command.step->modifies;
}

std::string ControlSql(const Command& command) {
  switch (command.kind) {
    case Command::Kind::Savepoint: return "SAVEPOINT " + command.savepoint;
    case Command::Kind::Release: return "RELEASE SAVEPOINT " + command.savepoint;
    case Command::Kind::RollbackTo: return "ROLLBACK TO SAVEPOINT " + command.savepoint;
    default: return {};
  }
}

std::string ControlText(std::span<const Command> commands, size_t begin, size_t end) {
  std::string sql;
  for (size_t i = begin; i < end; ++i) sql += (sql.empty() ? "" : ";") + ControlSql(commands[i]);
  return sql;
}

// One text: savepoint commands, then a statement and the releases after it, or queries one
// after the other.
struct Text {
  size_t begin = 0;
  size_t end = 0;
  size_t statement = 0;  // the first statement; end when none
};

// Queries go together only where a failure among them can be taken back to learn which one
// failed: outside a transaction, or right after a savepoint set in front of them.
Text NextText(const Link& link, std::span<const Command> commands, size_t begin) {
  bool combine = link.OwnRollback();
  Text text{begin, begin, commands.size()};
  while (text.end < commands.size() && IsSavepointCommand(commands[text.end])) {
    ++text.end;
    if (!combine) return text;
  }
  if (text.end == commands.size() || commands[text.end].kind != Command::Kind::Statement) {
    text.statement = text.end;
    return text;
  }
  text.statement = text.end++;
  bool queries = IsQuery(commands[text.statement]);
  bool retryable = !link.InTransaction() ||
                   (text.statement > begin && commands[text.statement - 1].kind == Command::Kind::Savepoint);
  while (combine && text.end < commands.size() &&
         (queries ? retryable && IsQuery(commands[text.end])
                  : commands[text.end].kind == Command::Kind::Release)) {
    ++text.end;
  }
  return text;
}

size_t StatementsIn(std::span<const Command> commands, const Text& text) {
  size_t count = 0;
  for (size_t i = text.statement; i < text.end; ++i) {
    count += commands[i].kind == Command::Kind::Statement ? 1 : 0;
  }
  return count;
}

// A statement's result, the current one of `handle`; `moved` how the driver got there. A
// change of no row is the driver's SQL_NO_DATA.
int ReadResult(Link& link, SQLHSTMT handle, SQLRETURN moved, const BackendStep& step,
               std::vector<bool>& integerColumns, bool& described, StepResult& result) {
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
  if (!described) {
    int rc = DescribeResult(link, handle, integerColumns);
    if (rc != status::kOk) return rc;
    described = true;
  }
  return FetchRows(link, handle, integerColumns, result.rows);
}

// Reads the results of the statements of `text`, after those of the commands in front.
int ReadResults(Link& link, PreparedText& prepared, SQLRETURN executed,
                std::span<const Command> commands, const Text& text,
                std::vector<StepResult>& results) {
  SQLHSTMT handle = prepared.handle.get();
  SQLRETURN moved = executed;
  for (size_t i = text.begin; i < text.statement && SQL_SUCCEEDED(moved); ++i) {
    moved = SQLMoreResults(handle);
  }
  bool single = StatementsIn(commands, text) == 1;
  for (size_t i = text.statement; i < text.end; ++i) {
    if (commands[i].kind != Command::Kind::Statement) break;
    if (i > text.statement) moved = SQLMoreResults(handle);
    std::vector<bool> columns;
    bool described = false;
    int rc = single ? ReadResult(link, handle, moved, *commands[i].step, prepared.integerColumns,
                                 prepared.described, results[i])
                    : ReadResult(link, handle, moved, *commands[i].step, columns, described,
                                 results[i]);
    if (rc != status::kOk) return rc;
  }
  return status::kOk;
}

// The inputs of the text's statements in the driver's form, and the text to prepare. Stops
// before a statement whose inputs cannot be sent, which then fails on its own (text.end
// moves there); one that is the first fails here, the commands in front of it sent alone.
int BuildText(Link& link, std::span<const Command> commands, Text& text,
              std::vector<Parameters>& parameters, std::string& sql) {
  sql = ControlText(commands, text.begin, text.statement);
  parameters.assign(text.end - text.statement, Parameters{});
  for (size_t i = text.statement; i < text.end; ++i) {
    if (commands[i].kind != Command::Kind::Statement) {
      sql += ";" + ControlSql(commands[i]);
      continue;
    }
    const BackendStep& step = *commands[i].step;
    const auto& statement = static_cast<const Statement&>(*step.statement);
    Parameters& converted = parameters[i - text.statement];
    int rc = statement.ConvertInputs(link, step.inputs, converted);
    if (rc != status::kOk && i > text.statement) {
      text.end = i;
      parameters.resize(i - text.statement);
      return status::kOk;
    }
    if (rc != status::kOk) {
      if (text.statement > text.begin) link.ExecuteControl(ControlText(commands, text.begin, text.statement));
      return rc;
    }
    sql += (sql.empty() ? "" : ";") + statement.TextFor(link.ServerDialect(), converted);
  }
  return status::kOk;
}

// Runs a text with statements, their inputs bound in order.
int RunStatementText(Link& link, std::span<const Command> commands, Text& text,
                     std::vector<StepResult>& results) {
  std::vector<Parameters> parameters;
  std::string sql;
  int rc = BuildText(link, commands, text, parameters, sql);
  if (rc != status::kOk) return rc;
  if (link.Lost()) return link.FailNotConnected();
  PreparedText* prepared = link.Prepared(sql, rc);
  if (prepared == nullptr) return rc;
  SQLHSTMT handle = prepared->handle.get();
  SQLFreeStmt(handle, SQL_RESET_PARAMS);
  SQLUSMALLINT position = 1;
  for (Parameters& converted : parameters) {
    if (rc == status::kOk) rc = BindParameters(link, handle, converted, position);
    position = static_cast<SQLUSMALLINT>(position + converted.texts.size());
  }
  if (rc != status::kOk) return rc;
  {
    // Cancellable by a stop from the execute to the last row read.
    Executing executing(link.Watch(), handle);
    SQLRETURN executed = SQLExecute(handle);
    if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) {
      rc = link.Fail(SQL_HANDLE_STMT, handle);
    } else {
      rc = ReadResults(link, *prepared, executed, commands, text, results);
    }
  }
  SQLFreeStmt(handle, SQL_CLOSE);
  return rc;
}

// Queries that failed together, the driver not saying which: back to the savepoint in front
// of them (they changed nothing), then one by one. `done` ends at the one that fails.
int RunQueriesAlone(Link& link, std::span<const Command> commands, const Text& text,
                    std::vector<StepResult>& results, size_t& done) {
  done = text.statement;
  if (link.InTransaction()) {
    int rc = link.ExecuteControl(ControlSql({Command::Kind::RollbackTo,
                                             commands[text.statement - 1].savepoint, nullptr}));
    if (rc != status::kOk) return rc;
  }
  for (; done < text.end; ++done) {
    Text alone{done, done + 1, done};
    results[done] = StepResult{};
    int rc = RunStatementText(link, commands, alone, results);
    if (rc != status::kOk) return rc;
  }
  return status::kOk;
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
    Text text = NextText(link, commands, done);
    if (text.statement == text.end) {
      rc = link.ExecuteControl(ControlText(commands, text.begin, text.end));
      if (rc != status::kOk) return rc;
      done = text.end;
      continue;
    }
    rc = RunStatementText(link, commands, text, results);
    if (rc != status::kOk && StatementsIn(commands, text) > 1 && !link.Lost()) {
      rc = RunQueriesAlone(link, commands, text, results, done);
      if (rc != status::kOk) return rc;
    } else if (rc != status::kOk) {
      done = text.statement;
      return rc;
    }
    done = text.end;
  }
  return status::kOk;
}

}  // namespace db::odbc
