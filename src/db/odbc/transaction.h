#pragma once
// Oracle's transactions through the driver. While nothing is pending the connection is in
// autocommit, so that a query alone runs outside a transaction as on the other backends; the
// first change or savepoint turns autocommit off, and commit or rollback ends the transaction
// and turns it back on (both are client-side switches of the driver, no round trip).
//
// A failed statement undoes only itself: Oracle does that on its own, and PostgreSQL's driver
// does it with the statement-level rollback of its Protocol setting (the default, 7.4-2),
// an automatic savepoint that it releases again, so none pile up.
//
// The program's savepoints are kept by name, so that a rollback to one never set is refused
// before the server sees it (PostgreSQL would abort the transaction). A name set again as the
// newest savepoint replaces it on PostgreSQL (released first), so that a loop that sets the
// same savepoint without a commit does not nest savepoints without end.
#include <string>
#include <vector>

#include "db/runtime/lost_work.h"

namespace db::odbc {

class Link;

class Transaction {
 public:
  explicit Transaction(Link& link) : link_(link) {}

  // Before a statement runs; `modifies`: it may change data.
  int BeforeStatement(bool modifies);
  // After a statement failed with `status` (the link holds its diagnostic).
  void AfterFailure(int status);

  int Savepoint(const std::string& name);
  int RollbackTo(const std::string& name);
  int Commit();
  int Rollback();

  // Whether anything of a transaction is pending: changes or savepoints.
  bool Pending() const { return open_; }

 private:
  int Open();
  int End(bool commit);
  void Reset();

  Link& link_;
  bool open_ = false;                   // autocommit off: a transaction may be pending
  std::vector<std::string> savepoints_;  // the program's, folded, oldest first
  LostWork lostWork_;
};

}  // namespace db::odbc
