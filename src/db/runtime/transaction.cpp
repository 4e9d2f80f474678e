#include "db/runtime/transaction.h"

#include "db/status.h"

namespace db {
namespace {

constexpr const char* kStatementSavepoint = "kestrumel_statement";
// Where the guarded changes begin, by their number.
std::string GuardName(size_t guard) { return "kestrumel_guard" + std::to_string(guard); }

// Guards stay on the server until this many are set, then the next round trip's first guard
// releases them at once: a handful costs the server nothing, a release per change a statement.
constexpr size_t kGuardsBeforeRelease = 8;
// Where a rehearsal's work stood at its last commit.
constexpr const char* kRehearsalMark = "kestrumel_rehearsal";

Command Control(Command::Kind kind, std::string savepoint = {}) {
  return {kind, std::move(savepoint), nullptr};
}

}  // namespace

void Transaction::Attach(BackendSession* session) {
  session_ = session;
  traits_ = session != nullptr ? session->Traits() : TransactionTraits{};
  lostWork_ = false;
  rehearsal_ = false;
  rehearsalLost_ = false;
  Reset();
}

bool& Transaction::NewestChanged() { return at_.guards == 0 ? at_.baseChanged : at_.guardChanged; }

bool Transaction::OpensTransaction(const BackendStep& step) const {
  return step.modifies || (step.locksRows && traits_.locksRows);
}

Transaction::Plan Transaction::PlanFor(const BackendStep& step, bool firstGuardOfBatch) const {
  Plan plan;
  const bool opens = OpensTransaction(step);
  if (!at_.open && !opens) return plan;  // a query alone needs no transaction
  plan.begin = !at_.open;
  // The reads' savepoint must not stay below a change.
  bool releasesReadGuard = at_.readGuard && opens;
  if (releasesReadGuard) plan.prefix.push_back(Control(Command::Kind::Release, kStatementSavepoint));
  if (step.guarded) {
    // The guards of earlier round trips go with the first guard of a later one (releasing the
    // oldest on the server releases those after it too), never one that this round trip may
    // have to go back to; a server without release sets the same names again.
    size_t kept = at_.guards;
    if (firstGuardOfBatch && at_.guards >= kGuardsBeforeRelease) {
      size_t oldestSent = at_.firstKeptOut ? 2 : 1;
      if (traits_.releasesSavepoints && at_.guards >= oldestSent) {
        plan.prefix.push_back(Control(Command::Kind::Release, GuardName(oldestSent)));
      }
      kept = 0;
    }
    plan.guard = kept + 1;
    plan.keptOut = kept == 0 && traits_.keepsStartSavepoints && !AnyChange();
    if (!plan.keptOut) plan.prefix.push_back(Control(Command::Kind::Savepoint, GuardName(plan.guard)));
    return plan;  // the guard, right before it, undoes a failure
  }
  if (traits_.undoesFailedStatement) return plan;
  const bool newestChanged = at_.guards == 0 ? at_.baseChanged : at_.guardChanged;
  plan.underGuard = at_.readGuard && !releasesReadGuard;
  plan.wrap = at_.open && newestChanged && opens;
  plan.setsGuard = at_.open && newestChanged && !opens && !plan.underGuard;
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

// The step's guard stands, the newest: what changed before it lies below it.
void Transaction::TakeGuard(const Plan& plan) {
  at_.baseChanged = AnyChange();
  at_.guardChanged = false;
  at_.guards = plan.guard;
  if (plan.guard == 1) at_.firstKeptOut = plan.keptOut;
}

// Where the transaction stands once a planned step has gone through.
void Transaction::TakeAsSucceeded(const Plan& plan, bool opensTransaction) {
  at_.open = at_.open || plan.begin;
  if (plan.guard != 0) TakeGuard(plan);
  if (opensTransaction) NewestChanged() = true;
  at_.readGuard = plan.setsGuard || plan.underGuard;
}

// Each step is planned as if those before it went through, as they have when the server
// reaches it; the failed step's plan tells how to undo it. The last step is taken as done only
// once it is, so that a single statement, the common case, needs no copy of the position.
int Transaction::RunSteps(std::span<const BackendStep> steps, std::vector<StepResult>& results,
                          size_t& succeeded) {
  succeeded = 0;
  if (rehearsalLost_) {
    return session_->FailWith(status::kTransactionRolledBack,
                              "the rehearsal's transaction was rolled back by the server");
  }
  std::vector<Position> before;  // of every step but the last
  std::vector<Plan> plans;
  std::vector<Command> commands;
  bool guarded = false;
  for (size_t k = 0; k < steps.size(); ++k) {
    const BackendStep& step = steps[k];
    bool last = k + 1 == steps.size();
    if (!last) before.push_back(at_);
    plans.push_back(PlanFor(step, !guarded));
    guarded = guarded || step.guarded;
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
  // A guarded change that matched no row goes back to its guard, and what followed it with it.
  for (size_t k = 0; k < failed; ++k) {
    if (!steps[k].guarded || results[k].affected != 0) continue;
    if (k + 1 < steps.size()) at_ = before[k + 1];
    if (k + 1 == steps.size() && rc == status::kOk) {
      TakeAsSucceeded(plans.back(), OpensTransaction(steps.back()));
    }
    succeeded = k + 1;
    return BackToGuard(plans[k].guard);
  }
  succeeded = failed;
  if (rc == status::kOk) {
    TakeAsSucceeded(plans.back(), OpensTransaction(steps.back()));
    return rc;
  }
  if (failed < before.size()) at_ = before[failed];
  Undo(plans[failed], done >= plans[failed].statement);
  return rc;
}

// Takes back everything since the newest guard, `guard`: its change and what came after it.
int Transaction::BackToGuard(size_t guard) {
  if (guard == 1 && at_.firstKeptOut) return RollbackWhole();
  int rc = SendControl({Control(Command::Kind::RollbackTo, GuardName(guard))});
  at_.readGuard = false;  // set after the guard, gone with it
  at_.guardChanged = false;
  if (rc != status::kOk) ResyncWithServer();
  return rc;
}

// Brings the transaction back to where it stood before the failed statement; `statementReached`:
// the commands in front of it went through.
void Transaction::Undo(const Plan& plan, bool statementReached) {
  bool aloneOutside = !at_.open && !plan.begin;
  if (statementReached && !aloneOutside && session_->Transaction() != ServerTransaction::Lost) {
    at_.open = true;
    at_.readGuard = plan.underGuard;
    if (plan.guard != 0) {
      TakeGuard(plan);
      // The server took the statement back itself, or its guard, set right before it, does.
      if (!traits_.undoesFailedStatement) BackToGuard(plan.guard);
    } else if (plan.wrap || plan.setsGuard) {
      SendControl({Control(Command::Kind::RollbackTo, kStatementSavepoint),
                   Control(Command::Kind::Release, kStatementSavepoint)});
    } else if (plan.underGuard) {
      // Only reads since it: going back to it undoes just the failed one.
      SendControl({Control(Command::Kind::RollbackTo, kStatementSavepoint)});
    } else if (traits_.undoesFailedStatement) {
      // The server took the statement back itself.
    } else if (!AnyChange()) {
      RollbackWhole();
    } else if (at_.guards > 0) {
      // Nothing changed since the newest guard, which went out before the statement.
      BackToGuard(at_.guards);
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
  if (at_.open && server != ServerTransaction::Open) {
    if (AnyChange()) lostWork_ = true;
    Reset();
  }
  if (rehearsal_ && server != ServerTransaction::Open) rehearsalLost_ = true;
}

// Takes the rehearsal back to its last commit; the program's savepoints are gone with it.
int Transaction::BackToRehearsalMark() {
  int rc = SendControl({Control(Command::Kind::RollbackTo, kRehearsalMark)});
  ForgetSentWork();
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
  at_.open = true;
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
  ForgetSentWork();
  if (rc != status::kOk) ResyncWithServer();
  if (session_->Transaction() != ServerTransaction::Open) rehearsalLost_ = true;
  return rc;
}

// Undoes every change.
int Transaction::RollbackWhole() {
  if (rehearsal_) {
    // The whole, for the program, is what came since the rehearsal's last commit.
    int rc = SendControl({Control(Command::Kind::RollbackTo, kRehearsalMark)});
    ForgetSentWork();
    if (rc != status::kOk) ResyncWithServer();
    return rc;
  }
  int rc = SendControl({Control(Command::Kind::Rollback)});
  at_.open = false;
  ForgetSentWork();
  return rc;
}

// Nothing of the undone work is on the server any more, its savepoints neither.
void Transaction::ForgetSentWork() { at_ = {.open = at_.open}; }

void Transaction::Reset() { at_ = {}; }

// Once the connection is gone, saying so rather than reporting lost work tells the program that
// no more can be done on it. Work done after a loss is the rest of a lost transaction: it goes.
int Transaction::End(Command::Kind kind) {
  if (rehearsal_) return EndInRehearsal(kind);
  bool lost = lostWork_ || (at_.open && session_->Transaction() == ServerTransaction::Failed);
  lostWork_ = false;
  if (session_->Transaction() == ServerTransaction::Lost) {
    Reset();
    return session_->FailWith(status::kNotConnected, "the connection to the server is lost");
  }
  int rc = status::kOk;
  if (at_.open) rc = SendControl({Control(lost ? Command::Kind::Rollback : kind)});
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

}  // namespace db
