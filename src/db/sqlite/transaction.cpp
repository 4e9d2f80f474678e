#include "db/sqlite/transaction.h"

#include "db/runtime/status.h"
#include "db/sqlite/session.h"

namespace db::sqlite {

int Transaction::Exec(const std::string& sql) {
  if (!link_.handle) return link_.FailWith(status::kNotConnected, "no connection");
  int rc = sqlite3_exec(link_.handle.get(), sql.c_str(), nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return status::kOk;
  int result = link_.Fail(sqlite3_extended_errcode(link_.handle.get()));
  NoteFailure();
  return result;
}

void Transaction::NoteFailure() {
  if (open_ && link_.handle && sqlite3_get_autocommit(link_.handle.get())) {
    open_ = false;
    lostWork_.Note();
  }
}

int Transaction::BeginIfIdle() {
  if (open_) return status::kOk;
  int rc = Exec("BEGIN IMMEDIATE");
  if (rc == status::kOk) open_ = true;
  return rc;
}

int Transaction::Savepoint(const std::string& name) {
  int rc = BeginIfIdle();
  if (rc != status::kOk) return rc;
  return Exec("SAVEPOINT \"" + name + "\"");
}

int Transaction::RollbackTo(const std::string& name) {
  if (!open_) return link_.FailWith(status::kSavepointUnknown, "no such savepoint: " + name);
  return Exec("ROLLBACK TO \"" + name + "\"");
}

int Transaction::End(const char* sql) {
  if (!open_) return status::kOk;
  int rc = Exec(sql);
  if (rc == status::kOk) open_ = false;
  return rc;
}

// Work done after a loss is only the rest of a transaction that is gone: it goes too.
int Transaction::Commit() {
  if (lostWork_.Take()) {
    End("ROLLBACK");
    return link_.FailWith(status::kTransactionRolledBack, "transaction rolled back by a failure");
  }
  return End("COMMIT");
}

int Transaction::Rollback() {
  lostWork_.Take();
  return End("ROLLBACK");
}

}  // namespace db::sqlite
