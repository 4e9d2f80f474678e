#include "db/sqlite/transaction.h"

#include "db/runtime/status.h"
#include "db/sqlite/session.h"

namespace db::sqlite {
namespace {

using Names = std::vector<std::string>;

// SQLite's savepoint names are case-blind, as Oracle's are.
Names::iterator FindNewest(Names& names, const std::string& name) {
  for (auto it = names.end(); it != names.begin();) {
    --it;
    if (sqlite3_stricmp(it->c_str(), name.c_str()) == 0) return it;
  }
  return names.end();
}

}  // namespace

int Transaction::Exec(const std::string& sql) {
  if (int rc = link_.Ready(); rc != status::kOk) return rc;
  sqlite3_stmt* statement = link_.OwnStatement(sql);
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
    Reset();
    lostWork_.Note();
  }
}

int Transaction::BeginIfIdle() {
  if (open_) return status::kOk;
  int rc = Exec("BEGIN IMMEDIATE");
  if (rc != status::kOk) return rc;
  open_ = true;
  link_.ForgetTriggers();  // another connection may have changed them since the last one
  return rc;
}

int Transaction::BeforeChange() {
  int rc = BeginIfIdle();
  if (rc == status::kOk) changed_ = true;
  return rc;
}

int Transaction::Savepoint(const std::string& name) {
  int rc = BeginIfIdle();
  if (rc != status::kOk) return rc;
  if (!changed_) {
    atStart_.push_back(name);
    return status::kOk;
  }
  rc = Exec("SAVEPOINT \"" + name + "\"");
  if (rc == status::kOk) native_.push_back(name);
  return rc;
}

// The newest savepoint of that name wins, as in Oracle; those set after it are gone.
int Transaction::RollbackTo(const std::string& name) {
  auto native = FindNewest(native_, name);
  if (native != native_.end()) {
    int rc = Exec("ROLLBACK TO \"" + name + "\"");
    if (rc == status::kOk) native_.erase(native + 1, native_.end());
    return rc;
  }
  auto atStart = FindNewest(atStart_, name);
  if (atStart == atStart_.end()) {
    return link_.FailWith(status::kSavepointUnknown, "no such savepoint: " + name);
  }
  atStart_.erase(atStart + 1, atStart_.end());
  return changed_ ? RollbackToStart() : status::kOk;
}

// Undoes every change and opens the transaction again; the savepoints set at its start stay.
int Transaction::RollbackToStart() {
  int rc = Exec("ROLLBACK");
  if (rc != status::kOk) return rc;
  open_ = false;
  changed_ = false;
  native_.clear();
  // Had another writer taken the lock meanwhile, the next change waits for it as usual.
  BeginIfIdle();
  return status::kOk;
}

int Transaction::End(const char* sql) {
  if (!open_) {
    Reset();
    return status::kOk;
  }
  int rc = Exec(sql);
  if (rc == status::kOk) Reset();
  return rc;
}

void Transaction::Reset() {
  open_ = false;
  changed_ = false;
  atStart_.clear();
  native_.clear();
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
