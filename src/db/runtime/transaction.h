#pragma once
// Oracle's transactions, planned once for every backend. A transaction opens with the first
// change (or locking read); a query alone runs outside one. A failed statement undoes only
// itself and leaves the transaction and its earlier work usable. The program's savepoints live
// inside; commit ends it; work the server had to roll back as a whole is lost work, which the
// next commit reports. The backend sends the commands planned here (backend.h) and says what
// its server does on its own (TransactionTraits).
//
// Where the server does not undo a failed statement by itself (PostgreSQL aborts the whole
// transaction), a statement that could spoil earlier work runs under an automatic savepoint,
// sent with it. A change releases it right after itself; the reads that follow a change share
// one, set with the first of them and released with the next change or program savepoint
// (reads change nothing, so going back to it undoes just the read that failed). Either way
// such savepoints neither pile up in the server's lock table nor ever span one of the
// program's savepoints. Where nothing changed since the newest savepoint (or since the
// begin), that savepoint (or a rollback of the still empty transaction) undoes a failure.
//
// The program's savepoints map onto server savepoints by position: names set with nothing
// changed between share one, and a name set again leaves its old position (Oracle erases the
// older savepoint of that name). A position that no name marks any more is released as soon
// as that keeps the other positions, so that a run that fails over and over without a commit
// does not nest savepoints without end. Savepoints go to the server with the next statement
// that needs them.
//
// A rehearsal runs the program's work for real and keeps none of it: one server transaction
// spans it, opened with a savepoint at its start; a commit only moves that savepoint up to
// where the work stands, a rollback goes back to it, and the rehearsal's end rolls the whole
// back. A server that drops the transaction (or the connection) has dropped the rehearsal's
// work with it: the rest of the rehearsal is refused rather than run outside it.
#include <span>
#include <string>
#include <vector>

#include "db/runtime/backend.h"

namespace db {

class Transaction {
 public:
  // A new session: nothing of a transaction is pending.
  void Attach(BackendSession* session);

  // Runs the steps as they would run one after the other, each step's savepoint set right
  // before it (also when the step then fails), in one Send. Stops at the first failure and
  // returns its status, its effects undone and those before it kept; `succeeded` counts the
  // steps before it, whose results are in `results`.
  int RunSteps(std::span<const BackendStep> steps, std::vector<StepResult>& results,
               size_t& succeeded);

  int Savepoint(const std::string& name);
  int RollbackTo(const std::string& name);
  int Commit();
  int Rollback();

  // Whether anything of a transaction is pending: an open one, or savepoints for one.
  bool Pending() const { return open_ || !levels_.empty(); }

  // Only with nothing pending. EndRehearsal rolls back everything since BeginRehearsal.
  int BeginRehearsal();
  int EndRehearsal();
  bool Rehearsing() const { return rehearsal_; }

 private:
  // A position in the transaction marked by one or more of the program's savepoints.
  struct Level {
    std::string server;              // the server's savepoint
    std::vector<std::string> names;  // the program's savepoints here, in the order set
    bool sent = false;               // set on the server
    bool changedAfter = false;       // a change succeeded while this was the newest level
  };

  // The commands around one statement.
  struct Plan {
    bool begin = false;                 // Begin first
    std::vector<Command> prefix;        // releases and savepoints that go out first
    bool wrap = false;                  // an automatic savepoint around the change
    bool setsGuard = false;             // the reads' savepoint goes out before the query
    bool underGuard = false;            // the query runs under the reads' savepoint, set before
    size_t first = 0;                   // the step's first command in the commands sent
    size_t statement = 0;               // the statement's place in them
  };

  // What planning a step changes, kept to go back to when the step fails.
  struct Snapshot {
    bool open;
    bool baseChanged;
    bool readGuard;
    std::vector<Level> levels;
    std::vector<std::string> pendingReleases;
  };

  bool OpensTransaction(const BackendStep& step) const;
  Plan PlanFor(bool opensTransaction) const;
  void Append(Plan& plan, const BackendStep& step, std::vector<Command>& commands) const;
  void TakeAsSucceeded(const Plan& plan, bool modifies);
  Snapshot Save() const;
  void Restore(Snapshot snapshot);
  void MarkPrefixSent();
  void Undo(const Plan& plan, bool statementReached);
  bool& NewestChanged();
  bool AnyChange() const;
  bool ChangedBelow(size_t index) const;
  void Detach(const std::string& name);
  void Compact();
  void RemoveLevel(size_t index);
  void MarkUnsentFrom(size_t index);
  int SendControl(std::vector<Command> commands);
  void ResyncWithServer();
  int RollbackWhole();
  void ForgetSentWork();
  int End(Command::Kind kind);
  int EndInRehearsal(Command::Kind kind);
  int BackToRehearsalMark();
  void Reset();

  BackendSession* session_ = nullptr;
  TransactionTraits traits_;
  bool open_ = false;                         // a transaction is open on the server
  bool baseChanged_ = false;                  // a change succeeded below every level
  // The automatic savepoint of the reads after the newest change is set on the server.
  bool readGuard_ = false;
  std::vector<Level> levels_;                 // oldest first
  std::vector<std::string> pendingReleases_;  // server savepoints to release first
  bool lostWork_ = false;                     // the server rolled back work of the transaction
  bool rehearsal_ = false;                    // commits keep nothing (BeginRehearsal)
  bool rehearsalLost_ = false;                // the rehearsal's transaction is gone
};

}  // namespace db
