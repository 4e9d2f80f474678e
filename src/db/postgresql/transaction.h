#pragma once
// Oracle's transactions on a PostgreSQL connection. A transaction opens with the first
// change (a query alone runs outside one); a failed statement undoes only itself and leaves
// the transaction and its earlier work usable, where PostgreSQL would abort it all; the
// program's savepoints live inside; commit ends it; an open transaction dies with the
// connection.
//
// A statement that could spoil earlier work runs under an automatic savepoint, in the same
// round trip. A change releases it right after itself; the reads that follow a change share
// one, set with the first of them and released with the next change or program savepoint
// (reads change nothing, so going back to it undoes just the read that failed). Either way
// such savepoints neither pile up in the server's lock table nor ever span one of the
// program's savepoints. Where
// nothing changed since the newest savepoint (or since BEGIN), that savepoint (or a rollback
// of the still empty transaction) undoes a failure without one.
//
// The program's savepoints map onto server savepoints by position: names set with nothing
// changed between share one, and a name set again leaves its old position (Oracle erases the
// older savepoint of that name). A position that no name marks any more is released as soon
// as that keeps the other positions, so that a run that fails over and over without a commit
// does not nest savepoints, each holding a lock, without end. Savepoints go to the server
// with the next statement that needs them.
#include <string>
#include <vector>

#include "db/postgresql/channel.h"
#include "db/runtime/lost_work.h"

namespace db::postgresql {

class Transaction {
 public:
  explicit Transaction(Channel& channel) : channel_(channel) {}

  // The commands of one statement (`modifies`: it may change data), with the program's
  // savepoint to set right before it ("" none).
  struct Step {
    std::string savepoint;
    std::vector<Command> commands;
    bool modifies = false;
  };

  // Runs the steps in one round trip as they would run one after the other; the server stops
  // at the first that fails. `firstResult[k]` is the position of step k's first command in
  // `outcome.results`, `succeeded` the number of steps before the failed one. Returns 0 or the
  // status of the failure, the failed step's effects undone and those before it kept.
  int RunSteps(const std::vector<Step>& steps, Outcome& outcome,
               std::vector<size_t>& firstResult, size_t& succeeded);
  // A single statement, as a step without a savepoint.
  int RunStatement(const std::vector<Command>& statement, bool modifies, Outcome& outcome,
                   size_t& firstResult);

  int Savepoint(const std::string& name);
  int RollbackTo(const std::string& name);
  int Commit();
  int Rollback();

  // Whether anything of a transaction is pending: an open one, or savepoints for one.
  bool Pending() const { return open_ || !levels_.empty(); }

 private:
  // A position in the transaction marked by one or more of the program's savepoints.
  struct Level {
    std::string server;              // the server's savepoint
    std::vector<std::string> names;  // the program's savepoints here, in the order set
    bool sent = false;               // set on the server
    bool changedAfter = false;       // a change succeeded while this was the newest level
  };

  struct Plan {
    bool begin = false;               // BEGIN first
    std::vector<std::string> prefix;  // releases and savepoints that go out first
    bool wrap = false;                // an automatic savepoint around the change
    bool setsGuard = false;           // the reads' savepoint goes out before the query
    bool underGuard = false;          // the query runs under the reads' savepoint, set before
    bool releasesGuard = false;       // the reads' savepoint is released first
  };

  // What planning a step changes, kept to go back to when the step fails.
  struct Snapshot {
    bool open;
    bool baseChanged;
    bool readGuard;
    std::vector<Level> levels;
    std::vector<std::string> pendingReleases;
  };

  Plan PlanFor(bool modifies) const;
  size_t AppendPlanned(const Plan& plan, const std::vector<Command>& statement,
                       std::vector<Command>& pipeline) const;
  void TakeAsSucceeded(const Plan& plan, bool modifies);
  Snapshot Save() const;
  void Restore(Snapshot snapshot);
  void MarkPrefixSent();
  void Undo(const Plan& plan, int failedAt, size_t firstResult);
  bool& NewestChanged();
  bool AnyChange() const;
  void Detach(const std::string& name);
  void Compact();
  void RemoveLevel(size_t index);
  void MarkUnsentFrom(size_t index);
  static std::string ServerName(size_t position);
  void RunControl(const std::vector<std::string>& sql);
  void ResyncWithServer();
  void Reset();
  int EndOnLostConnection();

  Channel& channel_;
  bool open_ = false;                         // a transaction block is open on the server
  bool baseChanged_ = false;                  // a change succeeded below every level
  // The automatic savepoint of the reads after the newest change is set on the server.
  bool readGuard_ = false;
  std::vector<Level> levels_;                 // oldest first
  std::vector<std::string> pendingReleases_;  // server savepoints to release first
  LostWork lostWork_;
};

}  // namespace db::postgresql
