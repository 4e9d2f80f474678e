#include "db/postgresql/transaction.h"

#include <cstring>

#include "db/runtime/letter_case.h"
#include "db/runtime/status.h"

namespace db::postgresql {
namespace {

constexpr const char* kStatementSavepoint = "kestrumel_statement";

}  // namespace

// Named by position, so that a run sends the same few texts whatever it does: a server that
// keeps statement statistics sees a handful of savepoint statements, not one per transaction.
std::string Transaction::ServerName(size_t position) {
  return "kestrumel_sp" + std::to_string(position + 1);
}

bool& Transaction::NewestChanged() {
  return levels_.empty() ? baseChanged_ : levels_.back().changedAfter;
}

bool Transaction::AnyChange() const {
  bool changed = baseChanged_;
  for (const Level& level : levels_) changed = changed || level.changedAfter;
  return changed;
}

Transaction::Plan Transaction::PlanFor(bool modifies) const {
  Plan plan;
  if (!open_ && !modifies) return plan;  // a query alone needs no transaction
  plan.begin = !open_;
  for (const std::string& server : pendingReleases_)
    plan.prefix.push_back("RELEASE SAVEPOINT " + server);
  for (const Level& level : levels_) {
    if (!level.sent) plan.prefix.push_back("SAVEPOINT " + level.server);
  }
  bool newestChanged = levels_.empty() ? baseChanged_ : levels_.back().changedAfter;
  // The reads' savepoint must not stay below a change or a savepoint of the program.
  plan.releasesGuard = readGuard_ && (modifies || !plan.prefix.empty());
  if (plan.releasesGuard) {
    plan.prefix.insert(plan.prefix.begin(),
                       std::string("RELEASE SAVEPOINT ") + kStatementSavepoint);
  }
  plan.underGuard = readGuard_ && !plan.releasesGuard;
  plan.wrap = open_ && newestChanged && modifies;
  plan.setsGuard = open_ && newestChanged && !modifies && !plan.underGuard;
  return plan;
}

void Transaction::MarkPrefixSent() {
  pendingReleases_.clear();
  for (Level& level : levels_) level.sent = true;
}

// The commands of a planned step in pipeline order; returns the position of its statement.
size_t Transaction::AppendPlanned(const Plan& plan, const std::vector<Command>& statement,
                                  std::vector<Command>& pipeline) const {
  if (plan.begin) pipeline.push_back(TextCommand("BEGIN"));
  for (const std::string& sql : plan.prefix) pipeline.push_back(TextCommand(sql));
  if (plan.wrap || plan.setsGuard) {
    pipeline.push_back(TextCommand(std::string("SAVEPOINT ") + kStatementSavepoint));
  }
  size_t first = pipeline.size();
  pipeline.insert(pipeline.end(), statement.begin(), statement.end());
  if (plan.wrap) {
    pipeline.push_back(TextCommand(std::string("RELEASE SAVEPOINT ") + kStatementSavepoint));
  }
  return first;
}

// Where the transaction stands once a planned step has gone through.
void Transaction::TakeAsSucceeded(const Plan& plan, bool modifies) {
  open_ = open_ || plan.begin;
  if (open_) MarkPrefixSent();
  if (modifies) NewestChanged() = true;
  readGuard_ = plan.setsGuard || plan.underGuard;
}

Transaction::Snapshot Transaction::Save() const {
  return {open_, baseChanged_, readGuard_, levels_, pendingReleases_};
}

void Transaction::Restore(Snapshot snapshot) {
  open_ = snapshot.open;
  baseChanged_ = snapshot.baseChanged;
  readGuard_ = snapshot.readGuard;
  levels_ = std::move(snapshot.levels);
  pendingReleases_ = std::move(snapshot.pendingReleases);
}

// Each step is planned as if those before it went through, which they did when the server
// reaches it; on a failure the plan of the failed step tells how to undo it. The last step is
// taken as done only once it is: the state before it needs no copy, and a single statement,
// the common case, none at all.
int Transaction::RunSteps(const std::vector<Step>& steps, Outcome& outcome,
                          std::vector<size_t>& firstResult, size_t& succeeded) {
  std::vector<Snapshot> before;  // of every step but the last
  std::vector<Plan> plans;
  std::vector<size_t> starts;
  std::vector<Command> pipeline;
  firstResult.clear();
  for (size_t k = 0; k < steps.size(); ++k) {
    const Step& step = steps[k];
    if (!step.savepoint.empty()) Savepoint(step.savepoint);
    bool last = k + 1 == steps.size();
    if (!last) before.push_back(Save());
    plans.push_back(PlanFor(step.modifies));
    starts.push_back(pipeline.size());
    firstResult.push_back(AppendPlanned(plans.back(), step.commands, pipeline));
    if (!last) TakeAsSucceeded(plans.back(), step.modifies);
  }
  succeeded = steps.size();
  if (channel_.Run(pipeline, outcome)) {
    TakeAsSucceeded(plans.back(), steps.back().modifies);
    return status::kOk;
  }
  size_t failedAt = outcome.failed > 0 ? static_cast<size_t>(outcome.failed) : 0;
  size_t k = 0;
  while (k + 1 < steps.size() && starts[k + 1] <= failedAt) ++k;
  succeeded = k;
  if (k < before.size()) Restore(std::move(before[k]));
  int rc = channel_.Fail(outcome);
  Undo(plans[k], static_cast<int>(failedAt - starts[k]), firstResult[k] - starts[k]);
  return rc;
}

int Transaction::RunStatement(const std::vector<Command>& statement, bool modifies,
                              Outcome& outcome, size_t& firstResult) {
  std::vector<size_t> first;
  size_t succeeded = 0;
  int rc = RunSteps({{"", statement, modifies}}, outcome, first, succeeded);
  firstResult = first.front();
  return rc;
}

// Brings the transaction back to where it stood before the failed statement.
void Transaction::Undo(const Plan& plan, int failedAt, size_t firstResult) {
  bool statementFailed = failedAt >= static_cast<int>(firstResult);
  bool autocommitQuery = !open_ && !plan.begin;
  if (statementFailed && !autocommitQuery && !channel_.Broken()) {
    MarkPrefixSent();  // the prefix went through before the statement failed
    readGuard_ = plan.underGuard;
    if (plan.wrap || plan.setsGuard) {
      RunControl({std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint,
                  std::string("RELEASE SAVEPOINT ") + kStatementSavepoint});
    } else if (plan.underGuard) {
      // Only reads since it: going back to it undoes just the failed one.
      RunControl({std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint});
    } else if (!AnyChange()) {
      // Nothing but savepoints in it: they are set anew with the next change.
      RunControl({"ROLLBACK"});
      open_ = false;
      for (Level& level : levels_) level.sent = false;
    } else if (!levels_.empty()) {
      // Nothing changed since the newest savepoint, which went out before the statement.
      RunControl({"ROLLBACK TO SAVEPOINT " + levels_.back().server});
    }
  }
  ResyncWithServer();
}

void Transaction::RunControl(const std::vector<std::string>& sql) {
  std::vector<Command> commands;
  for (const std::string& text : sql) commands.push_back(TextCommand(text));
  Outcome ignored;
  channel_.Run(commands, ignored);
}

// Whatever could not be undone precisely is rolled back whole, and the next commit says so.
void Transaction::ResyncWithServer() {
  bool serverOpen = !channel_.Broken() && channel_.InTransactionBlock();
  if (serverOpen && channel_.InFailedTransaction()) {
    RunControl({"ROLLBACK"});
    serverOpen = false;
  }
  if (open_ && !serverOpen) {
    if (AnyChange()) lostWork_.Note();
    Reset();
  }
}

void Transaction::Reset() {
  open_ = false;
  readGuard_ = false;
  baseChanged_ = false;
  levels_.clear();
  pendingReleases_.clear();
}

void Transaction::Detach(const std::string& name) {
  for (Level& level : levels_) {
    for (auto it = level.names.begin(); it != level.names.end(); ++it) {
      if (*it == name) {
        level.names.erase(it);
        return;
      }
    }
  }
}

void Transaction::MarkUnsentFrom(size_t index) {
  for (size_t k = index; k < levels_.size(); ++k) levels_[k].sent = false;
}

// Drops a level that no name marks. Releasing it on the server also destroys the levels
// above it, which are set anew: allowed only while nothing changed after them.
void Transaction::RemoveLevel(size_t index) {
  Level& level = levels_[index];
  if (level.sent) {
    pendingReleases_.push_back(level.server);
    MarkUnsentFrom(index + 1);
  }
  bool& below = index == 0 ? baseChanged_ : levels_[index - 1].changedAfter;
  below = below || level.changedAfter;
  levels_.erase(levels_.begin() + static_cast<std::ptrdiff_t>(index));
  // The levels above move down, not yet set on the server: they take their new position's name.
  for (size_t k = index; k < levels_.size(); ++k) levels_[k].server = ServerName(k);
}

void Transaction::Compact() {
  for (size_t index = levels_.size(); index-- > 0;) {
    if (!levels_[index].names.empty()) continue;
    bool aboveUnchanged = true;
    for (size_t k = index + 1; k < levels_.size(); ++k) {
      aboveUnchanged = aboveUnchanged && !levels_[k].changedAfter;
    }
    if (aboveUnchanged) RemoveLevel(index);
  }
}

int Transaction::Savepoint(const std::string& name) {
  std::string folded = LowerCase(name);
  Detach(folded);
  if (!levels_.empty() && !levels_.back().changedAfter) {
    levels_.back().names.push_back(folded);
  } else {
    levels_.push_back({ServerName(levels_.size()), {folded}, false, false});
  }
  Compact();
  return status::kOk;
}

int Transaction::RollbackTo(const std::string& name) {
  std::string folded = LowerCase(name);
  size_t index = levels_.size();
  size_t position = 0;
  for (size_t k = 0; k < levels_.size(); ++k) {
    for (size_t p = 0; p < levels_[k].names.size(); ++p) {
      if (levels_[k].names[p] == folded) {
        index = k;
        position = p;
      }
    }
  }
  if (index == levels_.size()) {
    return channel_.FailWith(status::kSavepointUnknown,
                             "savepoint " + name + " is not set in this transaction");
  }
  // Savepoints set after it are gone, also those set at the same position.
  Level& level = levels_[index];
  level.names.resize(position + 1);
  bool newest = index + 1 == levels_.size();
  bool unchanged = !level.sent || (newest && !level.changedAfter);
  levels_.resize(index + 1);
  if (unchanged) return status::kOk;  // the server stands where the savepoint was set
  Outcome outcome;
  if (!channel_.Run({TextCommand("ROLLBACK TO SAVEPOINT " + levels_.back().server)}, outcome)) {
    int rc = channel_.Fail(outcome);
    ResyncWithServer();
    return rc;
  }
  pendingReleases_.clear();  // they were above this level and are gone with it
  readGuard_ = false;        // so was the reads' savepoint
  levels_.back().changedAfter = false;
  return status::kOk;
}

// Once the connection is gone there is nothing to end: saying so, rather than reporting the
// lost work or a commit of nothing, tells the program that no more can be done on it.
int Transaction::EndOnLostConnection() {
  lostWork_.Take();
  Reset();
  return channel_.FailWith(status::kNotConnected, "the connection to the server is lost");
}

// Work done after a loss is only the rest of a transaction that is gone: it goes too.
int Transaction::Commit() {
  if (channel_.Broken()) return EndOnLostConnection();
  bool lost = lostWork_.Take();
  int rc = status::kOk;
  if (open_) {
    Outcome outcome;
    if (!channel_.Run({TextCommand(lost ? "ROLLBACK" : "COMMIT")}, outcome)) {
      rc = channel_.Fail(outcome);
    } else if (std::strcmp(PQcmdStatus(outcome.results[0].get()), "COMMIT") != 0) {
      // An aborted transaction "commits" as a rollback.
      lost = true;
    }
  }
  Reset();
  if (rc == status::kOk && lost) {
    rc = channel_.FailWith(status::kTransactionRolledBack,
                           "work of this transaction was rolled back after a failure");
  }
  return rc;
}

int Transaction::Rollback() {
  if (channel_.Broken()) return EndOnLostConnection();
  lostWork_.Take();
  int rc = status::kOk;
  if (open_) {
    Outcome outcome;
    if (!channel_.Run({TextCommand("ROLLBACK")}, outcome)) rc = channel_.Fail(outcome);
  }
  Reset();
  return rc;
}

}  // namespace db::postgresql
