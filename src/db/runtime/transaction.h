#pragma once
// Oracle's transactions, planned once for every backend. A transaction opens with the first
// change (or locking read); a query alone runs outside one. A failed statement undoes only
// itself and leaves the transaction and its earlier work usable; commit ends it; work the server had to roll back as a whole is lost work, which the
// next commit reports. The backend sends the commands planned here (backend.h) and says what
// its server does on its own (TransactionTraits).
//
// Where the server does not undo a failed statement by itself (PostgreSQL aborts the whole
// transaction), a statement that could spoil earlier work runs under an automatic savepoint,
// sent with it. A change releases it right after itself; the reads that follow a change share
// one, set with the first of them and released with the next change (reads change nothing,
// so going back to it undoes just the read that failed). Either way such savepoints neither
// pile up in the server's lock table nor ever span a guard. Where nothing changed since the
// guard (or since the begin), the guard (or a rollback of the still empty transaction) undoes
// a failure.
//
// A change that undoes only itself (a guarded step: the program's "savepoint X", the change,
// "rollback  to X" when it fails or matches no row) runs right after a savepoint of its own,
// its guard: going back to it undoes the change alone, a statement trigger's work included,
// and what ran after it in the same round trip, which then goes out anew. Guards are numbered
// as they are set; once there are a few, the next round trip's first guard releases them, so
// that they never pile up. Where nothing changed before it and the server keeps such
// savepoints out (SQLite), going back to the first guard is a rollback of the whole.
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
