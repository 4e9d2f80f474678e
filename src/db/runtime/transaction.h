#pragma once
// Oracle's transactions, planned once for every backend: one opens with the first change (or
// locking read); a failed statement undoes only itself; work the server had to roll back as a
// whole is reported by the next commit. The backend sends the commands planned here and says
// what its server does on its own (TransactionTraits).
//
// Where the server aborts the whole transaction on a failure (PostgreSQL), a statement that
// could spoil earlier work runs under an automatic savepoint: a change releases it right after
// itself, the reads after a change share one until the next change. So such savepoints never
// pile up nor span a guard.
//
// A guarded change (the program's "savepoint X", the change, "rollback  to X") runs right after
// a savepoint of its own: going back to it undoes the change, its triggers' work and what ran
// after it in the round trip, which then goes out anew. Guards are released a few at a time.
//
// A rehearsal spans one server transaction with a savepoint at its start: a commit moves that
// savepoint up, a rollback goes back to it, the end rolls all back. Once the server drops the
// transaction, the rest of the rehearsal is refused rather than run outside it.
#include <span>
#include <string>
#include <vector>

#include "db/runtime/backend.h"

namespace db {

class Transaction {
 public:
  // A new session: nothing of a transaction is pending.
  void Attach(BackendSession* session);

  // Runs the steps as they would run one after the other, in one Send. Stops at the first
  // failure and returns its status, its effects undone and those before it kept; `succeeded`
  // counts the steps before it, whose results are in `results`. A guarded step that matched no
  // row is taken back to its guard with whatever ran after it: it counts as the last step that
  // succeeded (affected 0), and 0 is returned.
  int RunSteps(std::span<const BackendStep> steps, std::vector<StepResult>& results,
               size_t& succeeded);

  // Commit or Rollback.
  int End(Command::Kind kind);

  // Whether a transaction is open.
  bool Pending() const { return at_.open; }

  // Only with nothing pending. EndRehearsal rolls back everything since BeginRehearsal.
  int BeginRehearsal();
  int EndRehearsal();

 private:
  // The commands around one statement.
  struct Plan {
    bool begin = false;                 // Begin first
    std::vector<Command> prefix;        // releases and the guard that go out first
    size_t guard = 0;                   // the step's guard, by its number, goes before it
    bool keptOut = false;               // ... kept out of the server: nothing changed yet
    bool wrap = false;                  // an automatic savepoint around the change
    bool setsGuard = false;             // the reads' savepoint goes out before the query
    bool underGuard = false;            // the query runs under the reads' savepoint, set before
    size_t first = 0;                   // the step's first command in the commands sent
    size_t statement = 0;               // the statement's place in them
  };

  // Where the transaction stands: what planning a step changes, kept to go back to when the
  // step fails.
  struct Position {
    bool open = false;          // a transaction is open on the server
    bool baseChanged = false;   // a change succeeded before the newest guard (or at all)
    bool guardChanged = false;  // a change succeeded since the newest guard
    size_t guards = 0;          // guards set, numbered from 1; the newest is the last
    bool firstKeptOut = false;  // guard 1 stands where the transaction began
    // The automatic savepoint of the reads after the newest change is set on the server.
    bool readGuard = false;
  };

  bool OpensTransaction(const BackendStep& step) const;
  Plan PlanFor(const BackendStep& step, bool firstGuardOfBatch) const;
  void Append(Plan& plan, const BackendStep& step, std::vector<Command>& commands) const;
  void TakeAsSucceeded(const Plan& plan, bool modifies);
  void TakeGuard(const Plan& plan);
  void Undo(const Plan& plan, bool statementReached);
  int BackToGuard(size_t guard);
  bool& NewestChanged();
  bool AnyChange() const { return at_.baseChanged || at_.guardChanged; }
  int SendControl(std::vector<Command> commands);
  void ResyncWithServer();
  int RollbackWhole();
  void ForgetSentWork();
  int EndInRehearsal(Command::Kind kind);
  int BackToRehearsalMark();
  void Reset();

  BackendSession* session_ = nullptr;
  TransactionTraits traits_;
  Position at_;
  bool lostWork_ = false;       // the server rolled back work of the transaction
  bool rehearsal_ = false;      // commits keep nothing (BeginRehearsal)
  bool rehearsalLost_ = false;  // the rehearsal's transaction is gone
};

}  // namespace db
