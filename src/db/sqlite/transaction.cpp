#include "db/sqlite/transaction.h"

#include "db/runtime/status.h"
#include "db/sqlite/session.h"

namespace db::sqlite {

// A request runs the same few control texts thousands of times: each is compiled once.
sqlite3_stmt* Transaction::Compiled(const std::string& sql) {
  auto found = link_.control.find(sql);
  if (found != link_.control.end()) return found->second.get();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(link_.handle.get(), sql.c_str(), -1, &raw, nullptr);
  NativeStatement compiled(raw);
  if (!compiled) return nullptr;
  return link_.control.emplace(sql, std::move(compiled)).first->second.get();
}

int Transaction::Exec(const std::string& sql) {
  if (!link_.handle) return link_.FailWith(status::kNotConnected, "no connection");
  sqlite3_stmt* statement = Compiled(sql);
  int rc = statement != nullptr ? sqlite3_step(statement) : SQLITE_ERROR;
  if (rc == SQLITE_DONE) {
    sqlite3_reset(statement);
    return status::kOk;
  }
  int result = link_.Fail(sqlite3_extended_errcode(link_.handle.get()));
  if (statement != nullptr) sqlite3_reset(statement);
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
