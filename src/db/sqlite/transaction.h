#pragma once
// Oracle's transactions on a SQLite handle. A transaction opens with the first change, taken
// at once as a write transaction, so that two processes queue on the lock instead of failing
// on a stale read; the program's savepoints live inside it; a failed statement undoes only
// itself (SQLite's statement journal), unless SQLite had to roll the whole transaction back
// (I/O error, full disk, RAISE(ROLLBACK)): its work is then lost work.
#include <string>
#include <vector>

#include "db/runtime/lost_work.h"

struct sqlite3_stmt;

namespace db::sqlite {

struct Link;

class Transaction {
 public:
  explicit Transaction(Link& link) : link_(link) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  int BeginIfIdle();
  // Before a modifying statement: the transaction opens, and savepoints set from now on
  // must be SQLite's own.
  int BeforeChange();
  int Savepoint(const std::string& name);
  int RollbackTo(const std::string& name);
  int Commit();
  int Rollback();
  // After a failed statement: notes lost work if SQLite ended the transaction.
  void NoteFailure();
  bool Pending() const { return open_; }
  // The handle is replaced: nothing of a transaction is left on the new one.
  void Forget() { Reset(); }

 private:
  int Exec(const std::string& sql);
  int End(const char* sql);
  int RollbackToStart();
  void Reset();

  Link& link_;
  bool open_ = false;
  bool changed_ = false;  // a modifying statement ran in this transaction
  // Savepoints set before the first change stand where the transaction began: they are kept
  // here instead of SQLite, which would otherwise journal every page the request then
  // changes a second time, in memory. Set after the first change: `native_`, SQLite's own.
  std::vector<std::string> atStart_;
  std::vector<std::string> native_;
  LostWork lostWork_;
};

}  // namespace db::sqlite
