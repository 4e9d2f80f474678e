#include "db/runtime/transaction.h"

#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db {
namespace {

constexpr const char* kStatementSavepoint = "kestrumel_statement";
// Where a rehearsal's work stood at its last commit.
constexpr const char* kRehearsalMark = "kestrumel_rehearsal";

Command Control(Command::Kind kind, std::string savepoint = {}) {
  return {kind, std::move(savepoint), nullptr};
}

// Named by position, so that a run sends the same few texts whatever it does: a server that
// keeps statement statistics sees a handful of savepoint statements, not one per transaction.
std::string ServerName(size_t position) { return "kestrumel_sp" + std::to_string(position + 1); }

}  // namespace

void Transaction::Attach(BackendSession* session) {
  session_ = session;
  traits_ = session != nullptr ? session->Traits() : TransactionTraits{};
  lostWork_ = false;
  rehearsal_ = false;
  rehearsalLost_ = false;
  Reset();
}

bool& Transaction::NewestChanged() {
  return levels_.empty() ? baseChanged_ : levels_.back().changedAfter;
}

bool Transaction::AnyChange() const { return ChangedBelow(levels_.size()); }

bool Transaction::ChangedBelow(size_t index) const {
  bool changed = baseChanged_;
  for (size_t k = 0; k < index && k < levels_.size(); ++k) changed = changed || levels_[k].changedAfter;
  return changed;
}

bool Transaction::OpensTransaction(const BackendStep& step) const {
  return step.modifies || (step.locksRows && traits_.locksRows);
}

Transaction::Plan Transaction::PlanFor(bool opensTransaction) const {
  Plan plan;
  if (!open_ && !opensTransaction) return plan;  // a query alone needs no transaction
  plan.begin = !open_;
  for (const std::string& server : pendingReleases_) {
    plan.prefix.push_back(Control(Command::Kind::Release, server));
  }
  for (size_t k = 0; k < levels_.size(); ++k) {
    bool kept = traits_.keepsStartSavepoints && !ChangedBelow(k);
    if (!levels_[k].sent && !kept) {
      plan.prefix.push_back(Control(Command::Kind::Savepoint, levels_[k].server));
    }
  }
  if (traits_.undoesFailedStatement) return plan;
  bool newestChanged = levels_.empty() ? baseChanged_ : levels_.back().changedAfter;
  // The reads' savepoint must not stay below a change or a savepoint of the program.
  bool releasesGuard = readGuard_ && (opensTransaction || !plan.prefix.empty());
  if (releasesGuard) {
    plan.prefix.insert(plan.prefix.begin(), Control(Command::Kind::Release, kStatementSavepoint));
  }
  plan.underGuard = readGuard_ && !releasesGuard;
  plan.wrap = open_ && newestChanged && opensTransaction;
  plan.setsGuard = open_ && newestChanged && !opensTransaction && !plan.underGuard;
  return plan;
}

// The commands of a planned step, in the order they go out.
void Transaction::Append(Plan& plan, const BackendStep& step, std::vector<Command>& commands) const {
  plan.first = commands.size();
  if (plan.begin) commands.push_back(Control(Command::Kind::Begin));
  commands.insert(commands.end(), plan.prefix.begin(), plan.prefix.end());
  if (plan.wrap || plan.setsGuard) {
    commands.push_back(Control(Command::Kind::Savepoint, kStatementSavepoint));
  }
  plan.statement = commands.size();
  commands.push_back({Command::Kind::Statement, {}, &step});
  if (plan.wrap) commands.push_back(Control(Command::Kind::Release, kStatementSavepoint));
}

// The savepoints of the prefix are on the server; those kept out of it stay out.
void Transaction::MarkPrefixSent() {
  pendingReleases_.clear();
  for (size_t k = 0; k < levels_.size(); ++k) {
    if (!traits_.keepsStartSavepoints || ChangedBelow(k)) levels_[k].sent = true;
  }
}

// Where the transaction stands once a planned step has gone through.
void Transaction::TakeAsSucceeded(const Plan& plan, bool opensTransaction) {
  open_ = open_ || plan.begin;
  if (open_) MarkPrefixSent();
  if (opensTransaction) NewestChanged() = true;
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
int Transaction::RunSteps(std::span<const BackendStep> steps, std::vector<StepResult>& results,
                          size_t& succeeded) {
  succeeded = 0;
  if (rehearsalLost_) {
    return session_->FailWith(status::kTransactionRolledBack,
                              "the rehearsal's transaction was rolled back by the server");
  }
  std::vector<Snapshot> before;  // of every step but the last
  std::vector<Plan> plans;
  std::vector<Command> commands;
  for (size_t k = 0; k < steps.size(); ++k) {
    const BackendStep& step = steps[k];
    if (!step.savepoint.empty()) Savepoint(step.savepoint);
    bool last = k + 1 == steps.size();
    if (!last) before.push_back(Save());
    plans.push_back(PlanFor(OpensTransaction(step)));
    Append(plans.back(), step, commands);
    if (!last) TakeAsSucceeded(plans.back(), OpensTransaction(step));
  }
  std::vector<StepResult> sent(commands.size());
  size_t done = 0;
  int rc = session_->Send(commands, sent, done);
  // The failed step is the one whose commands hold the first that failed.
  size_t failed = plans.size();
  if (rc != status::kOk) {
    failed = 0;
    while (failed + 1 < plans.size() && plans[failed + 1].first <= done) ++failed;
  }
  for (size_t k = 0; k < failed; ++k) results[k] = std::move(sent[plans[k].statement]);
  succeeded = failed;
  if (rc == status::kOk) {
    TakeAsSucceeded(plans.back(), OpensTransaction(steps.back()));
    return rc;
  }
  if (failed < before.size()) Restore(std::move(before[failed]));
  Undo(plans[failed], done >= plans[failed].statement);
  return rc;
}

// Brings the transaction back to where it stood before the failed statement; `statementReached`:
// the commands in front of it went through.
void Transaction::Undo(const Plan& plan, bool statementReached) {
  bool aloneOutside = !open_ && !plan.begin;
  if (statementReached && !aloneOutside && session_->Transaction() != ServerTransaction::Lost) {
    open_ = true;
    MarkPrefixSent();
    readGuard_ = plan.underGuard;
    if (plan.wrap || plan.setsGuard) {
      SendControl({Control(Command::Kind::RollbackTo, kStatementSavepoint),
                   Control(Command::Kind::Release, kStatementSavepoint)});
    } else if (plan.underGuard) {
      // Only reads since it: going back to it undoes just the failed one.
      SendControl({Control(Command::Kind::RollbackTo, kStatementSavepoint)});
    } else if (traits_.undoesFailedStatement) {
      // The server took the statement back itself.
    } else if (!AnyChange()) {
      // Nothing but savepoints in it: they are set anew with the next change.
      RollbackWhole();
    } else if (!levels_.empty()) {
      // Nothing changed since the newest savepoint, which went out before the statement.
      SendControl({Control(Command::Kind::RollbackTo, levels_.back().server)});
    }
  }
  ResyncWithServer();
}

int Transaction::SendControl(std::vector<Command> commands) {
  std::vector<StepResult> ignored(commands.size());
  size_t done = 0;
  return session_->Send(commands, ignored, done);
}

// Whatever could not be undone precisely is rolled back whole, and the next commit says so.
void Transaction::ResyncWithServer() {
  ServerTransaction server = session_->Transaction();
  if (server == ServerTransaction::Failed && rehearsal_ && !rehearsalLost_) {
    // The rehearsal's transaction must outlive the failure: only the work since the mark goes.
    if (AnyChange()) lostWork_ = true;
    BackToRehearsalMark();
    server = session_->Transaction();
  }
  if (server == ServerTransaction::Failed) {
    SendControl({Control(Command::Kind::Rollback)});
    server = ServerTransaction::None;
  }
  if (open_ && server != ServerTransaction::Open) {
    if (AnyChange()) lostWork_ = true;
    Reset();
  }
  if (rehearsal_ && server != ServerTransaction::Open) rehearsalLost_ = true;
}

// Takes the rehearsal back to its last commit; the program's savepoints are gone with it.
int Transaction::BackToRehearsalMark() {
  int rc = SendControl({Control(Command::Kind::RollbackTo, kRehearsalMark)});
  baseChanged_ = false;
  readGuard_ = false;
  pendingReleases_.clear();
  levels_.clear();
  if (rc != status::kOk || session_->Transaction() != ServerTransaction::Open) {
    rehearsalLost_ = true;
  }
  return rc;
}

int Transaction::BeginRehearsal() {
  if (session_ == nullptr) return status::kNotConnected;
  if (Pending() || rehearsal_) {
    return session_->FailWith(status::kSessionChangeInTransaction,
                              "a rehearsal begins with no work pending");
  }
  int rc = SendControl({Control(Command::Kind::Begin), Control(Command::Kind::Savepoint, kRehearsalMark)});
  if (rc != status::kOk) {
    if (session_->Transaction() != ServerTransaction::None &&
        session_->Transaction() != ServerTransaction::Lost) {
      SendControl({Control(Command::Kind::Rollback)});
    }
    Reset();
    return rc;
  }
  Reset();
  open_ = true;
  rehearsal_ = true;
  rehearsalLost_ = false;
  lostWork_ = false;
  return status::kOk;
}

int Transaction::EndRehearsal() {
  if (!rehearsal_) return status::kOk;
  rehearsal_ = false;
  rehearsalLost_ = false;
  lostWork_ = false;
  ServerTransaction server = session_->Transaction();
  int rc = status::kOk;
  if (server == ServerTransaction::Open || server == ServerTransaction::Failed) {
    rc = SendControl({Control(Command::Kind::Rollback)});
  }
  Reset();
  return rc;
}

// A commit keeps the work for the rest of the rehearsal: the mark moves up to it. A server
// without RELEASE erases the older mark of the same name when it sets the new one.
int Transaction::EndInRehearsal(Command::Kind kind) {
  if (rehearsalLost_ || session_->Transaction() == ServerTransaction::Lost) {
    rehearsalLost_ = true;
    Reset();
    return session_->FailWith(status::kTransactionRolledBack,
                              "the rehearsal's transaction was rolled back by the server");
  }
  bool lost = lostWork_ || session_->Transaction() == ServerTransaction::Failed;
  lostWork_ = false;
  if (lost || kind == Command::Kind::Rollback) {
    int rc = BackToRehearsalMark();
    if (rc == status::kOk && lost && kind == Command::Kind::Commit) {
      rc = session_->FailWith(status::kTransactionRolledBack,
                              "work of this transaction was rolled back after a failure");
    }
    return rc;
  }
  std::vector<Command> commands;
  if (traits_.releasesSavepoints) commands.push_back(Control(Command::Kind::Release, kRehearsalMark));
  commands.push_back(Control(Command::Kind::Savepoint, kRehearsalMark));
  int rc = SendControl(std::move(commands));
  baseChanged_ = false;
  readGuard_ = false;
  pendingReleases_.clear();
  levels_.clear();
  if (rc != status::kOk) ResyncWithServer();
  if (session_->Transaction() != ServerTransaction::Open) rehearsalLost_ = true;
  return rc;
}

// Undoes every change; the savepoints stay, to be set anew with the next change.
int Transaction::RollbackWhole() {
  if (rehearsal_) {
    // The whole, for the program, is what came since the rehearsal's last commit.
    int rc = SendControl({Control(Command::Kind::RollbackTo, kRehearsalMark)});
    ForgetSentWork();
    if (rc != status::kOk) ResyncWithServer();
    return rc;
  }
  int rc = SendControl({Control(Command::Kind::Rollback)});
  open_ = false;
  ForgetSentWork();
  return rc;
}

// Nothing of the undone work is on the server any more: its savepoints are set anew as the
// next changes need them.
void Transaction::ForgetSentWork() {
  baseChanged_ = false;
  readGuard_ = false;
  pendingReleases_.clear();
  for (Level& level : levels_) {
    level.sent = false;
    level.changedAfter = false;
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
// above it, which are set anew: allowed only while nothing changed after them. Where the
// server has no release, setting them anew under their new names moves them.
void Transaction::RemoveLevel(size_t index) {
  Level& level = levels_[index];
  if (level.sent) {
    if (traits_.releasesSavepoints) pendingReleases_.push_back(level.server);
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
    // A level kept out of the server stays while one above it is set there: that one's
    // name could not follow it down.
    bool movable = true;
    for (size_t k = index + 1; k < levels_.size(); ++k) {
      movable = movable && !levels_[k].changedAfter && (levels_[index].sent || !levels_[k].sent);
    }
    if (movable) RemoveLevel(index);
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
    return session_->FailWith(status::kSavepointUnknown,
                              "savepoint " + name + " is not set in this transaction");
  }
  // Savepoints set after it are gone, also those set at the same position.
  levels_[index].names.resize(position + 1);
  bool changed = false;
  for (size_t k = index; k < levels_.size(); ++k) changed = changed || levels_[k].changedAfter;
  levels_.resize(index + 1);
  if (!changed) return status::kOk;  // the server stands where the savepoint was set
  if (!levels_.back().sent) return RollbackWhole();  // kept out of the server: at the start
  int rc = SendControl({Control(Command::Kind::RollbackTo, levels_.back().server)});
  if (rc != status::kOk) {
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
// Work done after a loss is only the rest of a transaction that is gone: it goes too.
int Transaction::End(Command::Kind kind) {
  if (rehearsal_) return EndInRehearsal(kind);
  bool lost = lostWork_ || (open_ && session_->Transaction() == ServerTransaction::Failed);
  lostWork_ = false;
  if (session_->Transaction() == ServerTransaction::Lost) {
    Reset();
    return session_->FailWith(status::kNotConnected, "the connection to the server is lost");
  }
  int rc = status::kOk;
  if (open_) rc = SendControl({Control(lost ? Command::Kind::Rollback : kind)});
  ServerTransaction server = session_->Transaction();
  if (rc != status::kOk && (server == ServerTransaction::Open || server == ServerTransaction::Failed)) {
    lostWork_ = lost;  // still open: a rollback follows
    return rc;
  }
  Reset();
  if (rc == status::kOk && lost && kind == Command::Kind::Commit) {
    rc = session_->FailWith(status::kTransactionRolledBack,
                            "work of this transaction was rolled back after a failure");
  }
  return rc;
}

int Transaction::Commit() { return End(Command::Kind::Commit); }

int Transaction::Rollback() { return End(Command::Kind::Rollback); }

}  // namespace db
