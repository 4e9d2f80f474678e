#include "db/odbc/transaction.h"

#include <algorithm>
#include <cctype>

#include "db/odbc/session.h"
#include "db/runtime/status.h"

namespace db::odbc {
namespace {

// PostgreSQL refuses every statement of a transaction that failed as a whole.
constexpr const char* kTransactionAborted = "25P02";

// Oracle's names are case-blind.
std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

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

// Whatever the server rolled back whole is gone: the next commit says so.
void Transaction::AfterFailure(int status) {
  if (!open_) return;
  bool aborted = link_.ServerDialect() == Dialect::Postgres &&
                 link_.LastSqlState() == kTransactionAborted;
  if (status != status::kNotConnected && !aborted) return;
  std::string error = link_.LastError();  // the failure, not the rollback's
  End(false);
  link_.FailWith(status, error);
  lostWork_.Note();
}

int Transaction::Savepoint(const std::string& name) {
  int rc = Open();
  if (rc != status::kOk) return rc;
  std::string folded = Folded(name);
  std::string sql = "SAVEPOINT " + folded;
  bool newest = !savepoints_.empty() && savepoints_.back() == folded;
  if (newest && link_.ServerDialect() == Dialect::Postgres) {
    sql = "RELEASE SAVEPOINT " + folded + ";" + sql;
  }
  rc = link_.ExecuteControl(sql);
  if (rc != status::kOk) {
    AfterFailure(rc);
    return rc;
  }
  // Oracle erases an older savepoint of the same name.
  savepoints_.erase(std::remove(savepoints_.begin(), savepoints_.end(), folded), savepoints_.end());
  savepoints_.push_back(folded);
  return status::kOk;
}

int Transaction::RollbackTo(const std::string& name) {
  std::string folded = Folded(name);
  auto found = std::find(savepoints_.begin(), savepoints_.end(), folded);
  if (found == savepoints_.end()) {
    return link_.FailWith(status::kSavepointUnknown,
                          "savepoint " + name + " is not set in this transaction");
  }
  int rc = link_.ExecuteControl("ROLLBACK TO SAVEPOINT " + folded);
  if (rc != status::kOk) {
    AfterFailure(rc);
    return rc;
  }
  savepoints_.erase(found + 1, savepoints_.end());  // those set after it are gone
  return status::kOk;
}

int Transaction::End(bool commit) {
  int rc = status::kOk;
  if (open_) {
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
}

}  // namespace db::odbc
