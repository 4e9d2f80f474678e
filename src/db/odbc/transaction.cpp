#include "db/odbc/transaction.h"

#include <algorithm>

#include "db/odbc/session.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"

namespace db::odbc {
namespace {

// PostgreSQL refuses every statement of a transaction that failed as a whole.
constexpr const char* kTransactionAborted = "25P02";

// One name, so that the texts stay the same whatever the transaction does.
constexpr const char* kStatementSavepoint = "kestrumel_statement";

int SetAutocommit(Link& link, bool on) {
  SQLRETURN rc = SQLSetConnectAttr(
      link.Connection(), SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
      SQL_IS_UINTEGER);
  return SQL_SUCCEEDED(rc) ? status::kOk : link.Fail(SQL_HANDLE_DBC, link.Connection());
}

}  // namespace

int Transaction::Open() {
  if (open_) return status::kOk;
  int rc = SetAutocommit(link_, false);
  if (rc == status::kOk) open_ = true;
  return rc;
}

int Transaction::BeforeStatement(bool modifies) {
  return modifies ? Open() : status::kOk;
}

Wrap Transaction::WrapFor() const {
  Wrap wrap;
  if (!own_ || !open_) return wrap;
  wrap.prefix = unsent_;
  wrap.statements = unsentStatements_;
  if (!changed_) return wrap;
  if (statementSavepoint_) {
    wrap.prefix += std::string("RELEASE SAVEPOINT ") + kStatementSavepoint + ";";
    ++wrap.statements;
  }
  wrap.prefix += std::string("SAVEPOINT ") + kStatementSavepoint + ";";
  ++wrap.statements;
  wrap.automatic = true;
  return wrap;
}

void Transaction::AfterSuccess(bool modifies, const Wrap& wrap) {
  if (!wrap.prefix.empty()) MarkSent();
  if (wrap.automatic) statementSavepoint_ = true;
  if (modifies && open_) changed_ = true;
}

void Transaction::Unsent(const std::string& sql) {
  unsent_ += sql;
  for (char c : sql) unsentStatements_ += c == ';' ? 1 : 0;
  newestUnsent_ = true;
}

void Transaction::MarkSent() {
  unsent_.clear();
  unsentStatements_ = 0;
  newestUnsent_ = false;
}

// Nothing changed since the newest savepoint, unless the statement ran under its own.
bool Transaction::Undo(const Wrap& wrap) {
  std::string sql;
  if (wrap.automatic) {
    sql = std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint + ";RELEASE SAVEPOINT " +
          kStatementSavepoint;
  } else if (!savepoints_.empty()) {
    sql = "ROLLBACK TO SAVEPOINT " + savepoints_.back();
  } else {
    return End(false) == status::kOk;  // the transaction held nothing yet
  }
  statementSavepoint_ = false;  // gone with the rollback, or with the transaction
  return link_.ExecuteControl(sql) == status::kOk;
}

// Whatever the server rolled back whole is gone: the next commit says so.
void Transaction::Lose(int status) {
  std::string error = link_.LastError();  // the failure, not the rollback's
  End(false);
  link_.FailWith(status, error);
  lostWork_.Note();
}

void Transaction::AfterFailure(int status, const Wrap& wrap) {
  if (!open_) return;
  if (own_) {
    if (!wrap.prefix.empty()) MarkSent();  // it went before the statement that failed
    std::string error = link_.LastError();
    std::string sqlState = link_.LastSqlState();
    bool undone = !status::IsConnectionLost(status) && Undo(wrap);
    link_.RestoreFailure(error, sqlState);
    if (!undone && open_) Lose(status);
    return;
  }
  bool aborted = link_.ServerDialect() == Dialect::Postgres &&
                 link_.LastSqlState() == kTransactionAborted;
  if (!status::IsConnectionLost(status) && !aborted) return;
  Lose(status);
}

int Transaction::Guarded(const std::string& sql) {
  if (!own_ || !open_) return link_.ExecuteControl(sql);
  int rc = link_.ExecuteControl("SAVEPOINT kestrumel_guard;" + sql + ";RELEASE SAVEPOINT kestrumel_guard");
  if (rc == status::kOk) return rc;
  std::string error = link_.LastError();
  std::string sqlState = link_.LastSqlState();
  int undone = link_.ExecuteControl("ROLLBACK TO SAVEPOINT kestrumel_guard;RELEASE SAVEPOINT kestrumel_guard");
  link_.RestoreFailure(error, sqlState);
  if (undone != status::kOk) Lose(rc);
  return rc;
}

int Transaction::Savepoint(const std::string& name) {
  int rc = Open();
  if (rc != status::kOk) return rc;
  std::string folded = LowerCase(name);
  std::string sql = "SAVEPOINT " + folded;
  bool newest = !savepoints_.empty() && savepoints_.back() == folded;
  if (newest && link_.ServerDialect() == Dialect::Postgres) {
    sql = "RELEASE SAVEPOINT " + folded + ";" + sql;  // the automatic one after it goes too
  } else if (statementSavepoint_) {
    sql = std::string("RELEASE SAVEPOINT ") + kStatementSavepoint + ";" + sql;  // not nested in it
  }
  if (own_) {
    // Nothing ran since an unsent newest savepoint of this name: it stands where it is.
    if (!(newest && newestUnsent_)) Unsent(sql + ";");
  } else {
    rc = link_.ExecuteControl(sql);
    if (rc != status::kOk) {
      ControlFailed(rc);
      return rc;
    }
  }
  statementSavepoint_ = false;
  changed_ = false;
  // Oracle erases an older savepoint of the same name.
  savepoints_.erase(std::remove(savepoints_.begin(), savepoints_.end(), folded), savepoints_.end());
  savepoints_.push_back(folded);
  return status::kOk;
}

int Transaction::RollbackTo(const std::string& name) {
  std::string folded = LowerCase(name);
  auto found = std::find(savepoints_.begin(), savepoints_.end(), folded);
  if (found == savepoints_.end()) {
    return link_.FailWith(status::kSavepointUnknown,
                          "savepoint " + name + " is not set in this transaction");
  }
  // Nothing ran since the newest savepoint was set if it is not sent yet.
  bool unchanged = newestUnsent_ && found + 1 == savepoints_.end();
  if (!unchanged) {
    int rc = link_.ExecuteControl(unsent_ + "ROLLBACK TO SAVEPOINT " + folded);
    if (rc != status::kOk) {
      ControlFailed(rc);
      return rc;
    }
    MarkSent();
  }
  statementSavepoint_ = false;  // set after it, gone with the rollback
  changed_ = false;
  savepoints_.erase(found + 1, savepoints_.end());  // those set after it are gone
  return status::kOk;
}

int Transaction::End(bool commit) {
  int rc = status::kOk;
  if (link_.Lost()) {
    // Nothing to end on a connection that is gone, and the program must learn that it is.
    rc = link_.FailNotConnected();
  } else if (open_) {
    SQLRETURN ended = SQLEndTran(SQL_HANDLE_DBC, link_.Connection(), commit ? SQL_COMMIT : SQL_ROLLBACK);
    if (!SQL_SUCCEEDED(ended)) rc = link_.Fail(SQL_HANDLE_DBC, link_.Connection());
    int switched = SetAutocommit(link_, true);
    if (rc == status::kOk) rc = switched;
  }
  Reset();
  return rc;
}

// Work done after a loss is only the rest of a transaction that is gone: it goes too.
int Transaction::Commit() {
  bool lost = lostWork_.Take();
  int rc = End(!lost);
  if (rc == status::kOk && lost) {
    rc = link_.FailWith(status::kTransactionRolledBack,
                        "work of this transaction was rolled back after a failure");
  }
  return rc;
}

int Transaction::Rollback() {
  lostWork_.Take();
  return End(false);
}

void Transaction::Reset() {
  open_ = false;
  savepoints_.clear();
  changed_ = false;
  statementSavepoint_ = false;
  MarkSent();  // unsent savepoints end with the transaction
}

// Savepoints change nothing that a rollback could take back precisely: when one fails the
// transaction is not where the program thinks it is.
void Transaction::ControlFailed(int status) {
  if (!open_) return;
  if (own_) {
    Lose(status);
  } else {
    AfterFailure(status);
  }
}

}  // namespace db::odbc
