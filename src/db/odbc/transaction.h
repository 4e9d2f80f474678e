#pragma once
// Oracle's transactions through the driver. While nothing is pending the connection is in
// autocommit, so that a query alone runs outside a transaction as on the other backends; the
// first change or savepoint turns autocommit off, and commit or rollback ends the transaction
// and turns it back on (both are client-side switches of the driver, no round trip).
//
// A failed statement undoes only itself: Oracle does that on its own. PostgreSQL's own ODBC
// driver could do it too (its Protocol setting 7.4-2), but it sets its savepoint in a round
// trip of its own before every statement; so on that driver the backend turns it off and does
// it here, as the native backend does: only a statement that could spoil a change made since
// the newest savepoint runs under an automatic savepoint, set in the statement's own message
// and released with the next one; otherwise the newest savepoint (or a rollback of the still
// empty transaction) takes a failure back. Other PostgreSQL drivers keep their own setting.
//
// The program's savepoints are kept by name, so that a rollback to one never set is refused
// before the server sees it (PostgreSQL would abort the transaction). Where the backend takes
// failures back itself, they go to the server with the next statement or rollback, in its
// text. A name set again as the
// newest savepoint replaces it on PostgreSQL (released first), so that a loop that sets the
// same savepoint without a commit does not nest savepoints without end.
#include <string>
#include <vector>

#include "db/runtime/lost_work.h"

namespace db::odbc {

class Link;

// The control statements that go in front of a statement in its own text: the program's
// savepoints not yet set on the server, releasing the last automatic savepoint and setting a
// new one. Empty when the statement needs none.
struct Wrap {
  std::string prefix;  // each statement ended by ';'
  int statements = 0;
  bool automatic = false;  // the automatic savepoint is set in front of the statement
};

class Transaction {
 public:
  explicit Transaction(Link& link) : link_(link) {}

  // `own`: failed statements are taken back here, not by the driver.
  void TakeStatementRollback(bool own) { own_ = own; }
  bool OwnStatementRollback() const { return own_; }

  // Before a statement runs; `modifies`: it may change data.
  int BeforeStatement(bool modifies);
  // What must go in front of the statement about to run.
  Wrap WrapFor() const;
  // After the statement ran under `wrap`.
  void AfterSuccess(bool modifies, const Wrap& wrap);
  // After a statement under `wrap` failed with `status` (the link holds its diagnostic).
  void AfterFailure(int status, const Wrap& wrap = {});
  // Runs a control text that changes no data (PREPARE), so that its failure leaves the
  // transaction as it was.
  int Guarded(const std::string& sql);

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
  // Takes back what the failed statement did; whether that worked.
  bool Undo(const Wrap& wrap);
  // Ends a transaction that could not be taken back to where it stood, as lost work.
  void Lose(int status);
  void ControlFailed(int status);
  void Unsent(const std::string& sql);
  void MarkSent();

  Link& link_;
  bool own_ = false;
  bool open_ = false;                   // autocommit off: a transaction may be pending
  std::vector<std::string> savepoints_;  // the program's, folded, oldest first
  bool changed_ = false;                // a change since the newest savepoint, or since the start
  bool statementSavepoint_ = false;     // the automatic savepoint is set, not yet released
  std::string unsent_;                  // the program's savepoints the server has not seen yet
  int unsentStatements_ = 0;
  bool newestUnsent_ = false;           // the newest savepoint is in unsent_
  LostWork lostWork_;
};

}  // namespace db::odbc
