#include <string>

#include "db/odbc/session.h"
#include "db/odbc/statement.h"
#include "db/status.h"

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

// A statement alone in its text, prepared once per text and types of inputs, its inputs bound
// once per prepared text.
int RunStatement(Link& link, const BackendStep& step, StepResult& result) {
  const auto& statement = static_cast<const Statement&>(*step.statement);
  if (!statement.Fits(step.inputs)) return status::kNotAllVariablesBound;
  if (link.Lost()) return link.FailNotConnected();
  int rc = status::kOk;
  PreparedText* prepared = link.Prepared(statement.TextFor(link.ServerDialect(), step.inputs), rc);
  if (prepared == nullptr) return rc;
  SQLHSTMT handle = prepared->handle.get();
  rc = statement.ConvertInputs(link, step.inputs, prepared->inputs.parameters);
  if (rc == status::kOk) rc = BindInputs(link, handle, prepared->inputs);
  if (rc != status::kOk) return rc;
  {
    // Cancellable by a stop from the execute to the last row read.
    Executing executing(link.Watch(), handle);
    SQLRETURN executed = SQLExecute(handle);
    if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) {
      rc = link.Fail(SQL_HANDLE_STMT, handle);
    } else {
      rc = ReadResult(link, *prepared, executed, step.modifies, result);
    }
  }
  SQLFreeStmt(handle, SQL_CLOSE);
  return rc;
}

}  // namespace

int SendCommands(Link& link, std::span<const Command> commands, std::vector<StepResult>& results,
                 size_t& done) {
  bool combine = link.OwnRollback();
  done = 0;
  while (done < commands.size()) {
    const Command& command = commands[done];
    int rc = status::kOk;
    if (IsSavepointCommand(command)) {
      // Savepoint commands side by side go in one text, with the releases held back before.
      size_t end = done + 1;
      while (combine && end < commands.size() && IsSavepointCommand(commands[end])) ++end;
      std::string sql = link.TakeHeldBack();
      for (size_t i = done; i < end; ++i) {
        if (!sql.empty()) sql += ';';
        sql += ControlSql(commands[i]);
      }
      rc = link.ExecutePreparedControl(sql);
      if (rc != status::kOk) return rc;
      done = end;
      continue;
    }
    if (command.kind != Command::Kind::Statement) {
      link.TakeHeldBack();  // the end of the transaction releases every savepoint
      rc = command.kind == Command::Kind::Begin ? link.SetAutocommit(false)
                                                : link.EndTransaction(command.kind == Command::Kind::Commit);
    } else {
      std::string heldBack = link.TakeHeldBack();
      if (!heldBack.empty()) rc = link.ExecutePreparedControl(heldBack);
      if (rc == status::kOk) rc = RunStatement(link, *command.step, results[done]);
    }
    if (rc != status::kOk) return rc;
    ++done;
    // The releases right after a statement wait for the next savepoint command's text: a
    // text of a statement and more would have its inputs written into it by the driver.
    while (combine && done < commands.size() && commands[done].kind == Command::Kind::Release) {
      link.HoldBack(ControlSql(commands[done++]));
    }
  }
  return status::kOk;
}

}  // namespace db::odbc
