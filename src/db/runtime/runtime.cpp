#include "db/runtime/runtime.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/runtime/backend.h"
#include "db/runtime/fault_seam.h"
#include "db/runtime/precompiler.h"
#include "db/status_kind.h"
#include "db/runtime/transaction.h"

namespace db {

struct PreparedEntry {
  ParsedStatement parsed;
  std::unique_ptr<BackendStatement> statement;  // null for transaction control
};

struct SqlCursor::State {
  SqlRows rows;
  SqlRow current;  // the fetched row, unpacked
  size_t next = 0;
  std::string text;
};

SqlCursor::SqlCursor() = default;
SqlCursor::~SqlCursor() = default;

namespace {

// Host variables of one call, held by the caller or by a series.
using HostSpan = std::span<const HostVar>;

struct Connection {
  std::unique_ptr<BackendSession> session;
  const char* backend = nullptr;  // the name of the session's backend
  Transaction transaction;  // over the session
  // Prepared once per connection, keyed by the statement text. Shared, so that a call that
  // runs an entry keeps it alive when the statement clears the cache (a schema switch).
  std::unordered_map<std::string, std::shared_ptr<PreparedEntry>> cache;
  // The first fault of the open transaction (0 when none): from then on nothing is sent until
  // a rollback, so that no work that met a fault can become permanent.
  int fault = status::kOk;
  // Why the last connect failed, in the driver's words: there is no session to ask.
  std::string connectFailure;
  // Between SqlBeginRehearsal and SqlEndRehearsal, whatever becomes of the session.
  bool rehearsing = false;
};

Connection& Current() {
  static Connection connection;
  return connection;
}

// Notes `rc` when it is the transaction's first fault; returns it unchanged.
int Noted(int rc) {
  if (Current().fault == status::kOk && status::IsFault(rc)) Current().fault = rc;
  return rc;
}

int PrepareEntry(const char* text, PreparedEntry& entry) {
  int rc = Precompile(text, entry.parsed);
  if (rc != status::kOk) return rc;
  auto kind = entry.parsed.kind;
  if (kind != ParsedStatement::Kind::Query && kind != ParsedStatement::Kind::Modify) return 0;
  if (Current().fault != status::kOk) return Current().fault;  // nothing goes to the server
  return Current().session->Prepare(entry.parsed, entry.statement);
}

// The cached entry of a static statement text, prepared on first use.
int CachedEntry(const char* text, std::shared_ptr<PreparedEntry>& entry) {
  auto& cache = Current().cache;
  auto found = cache.find(text);
  if (found != cache.end()) {
    entry = found->second;
    return status::kOk;
  }
  auto fresh = std::make_shared<PreparedEntry>();
  int rc = PrepareEntry(text, *fresh);
  if (rc != status::kOk) return rc;  // not cached: a later call tries again
  entry = cache.emplace(text, std::move(fresh)).first->second;
  return status::kOk;
}

int BindInputs(HostSpan in, int expected, std::vector<SqlValue>& values) {
  if (static_cast<int>(in.size()) != expected) return status::kNotAllVariablesBound;
  values.clear();
  values.reserve(in.size());
  for (const HostVar& var : in) {
    SqlValue value;
    if (var.type == HostType::Int) {
      value.kind = SqlValue::Kind::Int;
      value.number = *static_cast<const int32_t*>(var.addr);
    } else {
      const char* text = static_cast<const char*>(var.addr);
      size_t length = strnlen(text, static_cast<size_t>(var.size));
      if (length > 0) {  // an empty text arrives as NULL, as in Oracle
        value.kind = SqlValue::Kind::Text;
        value.text.assign(text, length);
      }
    }
    values.push_back(std::move(value));
  }
  return status::kOk;
}

int ToInt32(const SqlValue& value, int32_t& result) {
  int64_t number = value.number;
  if (value.kind == SqlValue::Kind::Text) {
    errno = 0;
    char* end = nullptr;
    number = std::strtoll(value.text.c_str(), &end, 10);
    if (end == value.text.c_str() || *end != '\0' || errno == ERANGE) return status::kInvalidNumber;
  }
  if (number < INT32_MIN || number > INT32_MAX) return status::kIntegerOverflow;
  result = static_cast<int32_t>(number);
  return status::kOk;
}

void CopyText(const std::string& text, const HostVar& var) {
  size_t room = var.size > 0 ? static_cast<size_t>(var.size - 1) : 0;
  size_t length = text.size() < room ? text.size() : room;
  char* buffer = static_cast<char*>(var.addr);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// Checks the whole row first, so that a failing column leaves every output untouched.
int CopyOutputs(const SqlRow& row, HostSpan out) {
  if (row.size() != out.size()) return status::kNotAllVariablesBound;
  std::vector<int32_t> numbers(out.size(), 0);
  size_t i = 0;
  for (const HostVar& var : out) {
    const SqlValue& value = row[i];
    if (value.kind == SqlValue::Kind::Error) return static_cast<int>(value.number);
    if (value.kind == SqlValue::Kind::Null) {
      if (!var.indicator) return status::kNullIntoNoIndicator;
    } else if (var.type == HostType::Int) {
      int rc = ToInt32(value, numbers[i]);
      if (rc != status::kOk) return rc;
    }
    ++i;
  }
  i = 0;
  for (const HostVar& var : out) {
    const SqlValue& value = row[i];
    if (var.type == HostType::Int) {
      *static_cast<int32_t*>(var.addr) = numbers[i];
    } else if (value.kind == SqlValue::Kind::Null) {
      CopyText(std::string(), var);
    } else if (value.kind == SqlValue::Kind::Int) {
      CopyText(std::to_string(value.number), var);
    } else {
      CopyText(value.text, var);
    }
    ++i;
  }
  return status::kOk;
}

// A select into: exactly one row, its values into the outputs.
int IntoOutputs(const SqlRows& rows, HostSpan out) {
  if (rows.empty()) return status::kNoData;
  if (rows.size() > 1) return status::kTooManyRows;
  SqlRow row;
  rows.Read(0, row);
  return CopyOutputs(row, out);
}

int RunEntryUnnoted(PreparedEntry& entry, HostList in, HostList out) {
  if (int fault = FaultSeam_Check(FaultOp::Execute, entry.parsed.text.c_str())) return fault;
  BackendSession& session = *Current().session;
  Transaction& transaction = Current().transaction;
  const ParsedStatement& parsed = entry.parsed;
  switch (parsed.kind) {
    case ParsedStatement::Kind::Savepoint:
    case ParsedStatement::Kind::RollbackTo:
      return session.FailWith(status::kSavepointUnknown,
                              "a savepoint guards one change of a series: " + parsed.text);
    case ParsedStatement::Kind::Commit: return transaction.End(Command::Kind::Commit);
    case ParsedStatement::Kind::Rollback: return transaction.End(Command::Kind::Rollback);
    case ParsedStatement::Kind::SetSchema: {
      // A schema is a setting of the session, which pending work must not straddle.
      if (transaction.Pending()) {
        return session.FailWith(status::kSessionChangeInTransaction,
                                "schema switch with uncommitted work");
      }
      int rc = session.SetSchema(parsed.name);
      // Statements prepared for the old schema must not serve the new one.
      if (rc == status::kOk) Current().cache.clear();
      return rc;
    }
    case ParsedStatement::Kind::Query:
    case ParsedStatement::Kind::Modify: break;
  }
  BackendStep step{entry.statement.get(), {}, parsed.kind == ParsedStatement::Kind::Modify,
                   parsed.locksRows, {}};
  int rc = BindInputs(in, parsed.inputCount, step.inputs);
  if (rc != status::kOk) return rc;
  if (!step.modifies && static_cast<int>(out.size()) != parsed.intoCount) {
    return status::kNotAllVariablesBound;
  }
  std::vector<StepResult> results(1);
  size_t succeeded = 0;
  rc = transaction.RunSteps({&step, 1}, results, succeeded);
  if (rc != status::kOk) return rc;
  if (step.modifies) return results[0].affected == 0 ? status::kNoData : status::kOk;
  return IntoOutputs(results[0].rows, out);
}

// A rollback ends the transaction and with it its fault; anything else waits for that rollback.
int RunEntry(PreparedEntry& entry, HostList in, HostList out) {
  if (entry.parsed.kind == ParsedStatement::Kind::Rollback) {
    Current().fault = status::kOk;
  } else if (Current().fault != status::kOk) {
    return Current().fault;
  }
  return Noted(RunEntryUnnoted(entry, in, out));
}

bool IsEmpty(const char* text) { return text == nullptr || *text == '\0'; }

// What needs no database is checked here, the same on every backend, in the order of an
// Oracle client: the password, the user, then the service.
int CheckLogon(const char* user, const char* password, const char* netService) {
  if (IsEmpty(password)) return status::kPasswordMissing;
  if (IsEmpty(user)) return status::kLogonDenied;
  if (IsEmpty(netService)) return status::kServiceUnresolved;
  return status::kOk;
}

const BackendEntry* BackendServing(std::string_view netService) {
  for (const BackendEntry* backend : RegisteredBackends()) {
    for (const char* prefix : backend->prefixes) {
      if (prefix != nullptr && netService.rfind(prefix, 0) == 0) return backend;
    }
  }
  return nullptr;
}

}  // namespace

int SqlConnect(const char* user, const char* password, const char* netService, Access access) {
  if (Current().rehearsing) {
    SqlDisconnect();
    Current().connectFailure = "no new connection during a rehearsal: it would keep its work";
    return status::kTransactionRolledBack;
  }
  SqlDisconnect();
  Current().connectFailure.clear();
  int rc = CheckLogon(user, password, netService);
  if (rc != status::kOk) return rc;
  const BackendEntry* backend = BackendServing(netService);
  if (backend == nullptr) {
    Current().connectFailure = "no backend serves this net service";
    return status::kServiceUnresolved;
  }
  std::unique_ptr<BackendSession> session;
  Current().fault = status::kOk;
  rc = backend->open(user, password, netService, access, session, Current().connectFailure);
  if (rc != status::kOk) return rc;
  Current().session = std::move(session);
  Current().backend = backend->name;
  Current().transaction.Attach(Current().session.get());
  return rc;
}

int SqlTryLockName(const char* name, bool& taken) {
  taken = false;
  if (SqlConnectionLost()) return status::kNotConnected;
  return Current().session->TryLockName(name, taken);
}

void SqlDisconnect() {
  Current().cache.clear();  // statements before the session they belong to
  Current().transaction.Attach(nullptr);
  Current().session.reset();
}

const char* SqlBackendServing(const char* netService) {
  const BackendEntry* backend = netService != nullptr ? BackendServing(netService) : nullptr;
  return backend != nullptr ? backend->name : nullptr;
}

BackendSession* ConnectedSession(const char*& backendName) {
  backendName = Current().backend;
  return Current().session.get();
}

std::string SqlLastNativeError() {
  return Current().session ? Current().session->LastNativeError() : Current().connectFailure;
}

int SqlFault() { return Current().fault; }

int SqlBeginRehearsal() {
  if (!Current().session) return status::kNotConnected;
  if (Current().rehearsing) return status::kSessionChangeInTransaction;
  int rc = Current().transaction.BeginRehearsal();
  Current().rehearsing = rc == status::kOk;
  return rc;
}

// Also after the session is gone: its server rolled the work back.
int SqlEndRehearsal() {
  Current().rehearsing = false;
  Current().fault = status::kOk;
  if (!Current().session) return status::kOk;
  return Current().transaction.EndRehearsal();
}

bool SqlConnectionLost() {
  return !Current().session || Current().session->Transaction() == ServerTransaction::Lost;
}

int SqlExecute(const char* text, HostList in, HostList out) {
  if (!Current().session) return status::kNotConnected;
  std::shared_ptr<PreparedEntry> entry;
  int rc = Noted(CachedEntry(text, entry));
  if (rc != status::kOk) return rc;
  return RunEntry(*entry, in, out);
}

void SqlSeries::Report(const Item& item, int status) {
  if (item.status != nullptr) *item.status = status;
}

// An item checked and bound as the single call would before running it.
struct SqlSeries::Staged {
  std::shared_ptr<PreparedEntry> entry;  // keeps the statement alive
  int failed = status::kOk;              // a change that failed before it could run
};

namespace {

// The statement of an item, checked and bound as SqlExecute or SqlOpen would before running it.
int PrepareItem(const char* text, const SqlCursor* cursor, size_t outputs, bool change,
                std::shared_ptr<PreparedEntry>& entry, HostSpan in,
                std::vector<SqlValue>& inputs) {
  if (cursor != nullptr) {
    if (int fault = FaultSeam_Check(FaultOp::Open, text)) return fault;
  }
  int rc = CachedEntry(text, entry);
  if (rc != status::kOk) return rc;
  const ParsedStatement& parsed = entry->parsed;
  if (cursor == nullptr) {
    if (int fault = FaultSeam_Check(FaultOp::Execute, parsed.text.c_str())) return fault;
  }
  auto expected = change ? ParsedStatement::Kind::Modify : ParsedStatement::Kind::Query;
  if (parsed.kind != expected) {
    return cursor != nullptr ? status::kInvalidCursor : status::kNotAllVariablesBound;
  }
  if (!change && cursor == nullptr && static_cast<int>(outputs) != parsed.intoCount) {
    return status::kNotAllVariablesBound;
  }
  return BindInputs(in, parsed.inputCount, inputs);
}

}  // namespace

int SqlSeries::Run() {
  int rc = RunItems();
  items_.clear();
  return rc;
}

int SqlSeries::RunItems() {
  if (!Current().session) return Stop(0, status::kNotConnected);
  if (Current().fault != status::kOk) return Stop(0, Current().fault);  // nothing is sent
  // Every item is checked once, in order, up to the first query that cannot run.
  std::vector<Staged> staged;
  std::vector<BackendStep> steps;
  int stopped = status::kOk;
  for (const Item& item : items_) {
    bool change = item.change;
    BackendStep step;
    step.modifies = change;
    step.guarded = change && item.guarded.savepoint != nullptr;
    Staged one;
    int rc = PrepareItem(item.text, item.cursor, item.out.size(), change, one.entry, item.in,
                         step.inputs);
    if (rc != status::kOk && !change) {
      stopped = rc;
      break;
    }
    one.failed = rc;
    if (rc == status::kOk) {
      step.statement = one.entry->statement.get();
      step.locksRows = one.entry->parsed.locksRows;
    }
    staged.push_back(std::move(one));
    steps.push_back(std::move(step));
  }
  size_t stoppedAt = staged.size();
  int rc = Noted(RunStaged(staged, steps, stoppedAt));
  if (rc == status::kOk) rc = Noted(stopped);
  if (status::IsFault(rc)) {
    LeaveUnsent(stoppedAt, rc);
    return rc;
  }
  if (rc != status::kOk) return Stop(stoppedAt, rc);
  if (Current().fault != status::kOk) LeaveUnsent(stoppedAt, Current().fault);
  return status::kOk;
}

// Runs the staged items, as many together as may go together, and delivers their results in
// order. Returns 0, or the status of the query at `stoppedAt` that stopped the series.
int SqlSeries::RunStaged(const std::vector<Staged>& staged,
                         const std::vector<BackendStep>& steps, size_t& stoppedAt) {
  Transaction& transaction = Current().transaction;
  size_t next = 0;
  while (next < staged.size()) {
    if (Current().fault != status::kOk) {  // a change met a fault: nothing more is sent
      stoppedAt = next;
      return status::kOk;
    }
    if (staged[next].failed != status::kOk) {
      FinishChange(items_[next], staged[next].failed);
      Noted(staged[next].failed);
      ++next;
      continue;
    }
    size_t end = BatchEnd(staged, next);
    std::vector<StepResult> results(end - next);
    size_t ran = 0;
    int rc = transaction.RunSteps(std::span(steps).subspan(next, end - next), results, ran);
    Noted(rc);
    size_t resume = next;
    int stop = Settle(next, ran, rc, end, results, resume);
    if (stop != status::kOk) {
      stoppedAt = resume;
      return stop;
    }
    next = resume;
  }
  return status::kOk;
}

// Takes the results of the batch from `from`: `ran` steps went through, the next failed with
// `rc` unless 0. Sets `resume`; returns 0, or the status of a query that stops the series there.
int SqlSeries::Settle(size_t from, size_t ran, int rc, size_t end,
                      std::vector<StepResult>& results, size_t& resume) {
  for (size_t k = 0; k < ran; ++k) {
    resume = from + k;
    const Item& item = items_[resume];
    if (!item.change) {
      int delivered = Deliver(item, results[k]);
      if (delivered != status::kOk) return delivered;
      continue;
    }
    FinishChange(item, results[k].affected == 0 ? status::kNoData : status::kOk);
  }
  resume = from + ran;
  // Nothing failed, yet the batch stopped short: a guarded change that matched no row went back
  // to its guard with what followed it, which goes out anew.
  if (rc == status::kOk || resume >= end) return status::kOk;
  if (!items_[resume].change) {
    Report(items_[resume], rc);
    return rc;
  }
  FinishChange(items_[resume], rc);
  ++resume;
  return status::kOk;
}

// Where the batch that starts at `from` ends: before a change that failed unsent; before a
// change after a query (it would run even when the query stops the series); and after a change
// whose own statement follows it.
size_t SqlSeries::BatchEnd(const std::vector<Staged>& staged, size_t from) const {
  bool query = false;
  for (size_t i = from; i < staged.size(); ++i) {
    const Item& item = items_[i];
    bool change = item.change;
    if (staged[i].failed != status::kOk || (change && query)) return i;
    if (change && item.guarded.onSuccess != nullptr) return i + 1;
    query = query || !change;
  }
  return staged.size();
}

// A query's result into its outputs or cursor.
int SqlSeries::Deliver(const Item& item, StepResult& result) {
  if (item.cursor != nullptr) {
    // The whole result is read at the open: this is what keeps the cursor's rows as they stood.
    auto state = std::make_unique<SqlCursor::State>();
    state->rows = std::move(result.rows);
    state->text = item.text;
    item.cursor->state = std::move(state);
  } else if (int copied = IntoOutputs(result.rows, item.out); copied != status::kOk) {
    Report(item, copied);
    return copied;
  }
  Report(item, status::kOk);
  return status::kOk;
}

// The end of a change (the model took back a guarded one that failed or matched no row). On
// success its following statement runs: a delete whose commit fails is not done.
void SqlSeries::FinishChange(const Item& item, int status) {
  *item.status = status;
  if (status != status::kOk || item.guarded.onSuccess == nullptr) return;
  int followed = SqlExecute(item.guarded.onSuccess);
  if (followed != status::kOk) *item.status = followed;
}

// What the series did not reach does not run: a change gets the status that stopped it, and a
// cursor whose opening failed is closed, as after a failed SqlOpen.
int SqlSeries::Stop(size_t index, int status) {
  for (size_t i = index; i < items_.size(); ++i) {
    Report(items_[i], status);
  }
  if (index < items_.size() && items_[index].cursor != nullptr) items_[index].cursor->state.reset();
  return status;
}

// After a fault nothing more is sent: only the fault's own statement reports it, the changes not
// reached keep their callers' statuses, and the queries get the fault.
void SqlSeries::LeaveUnsent(size_t index, int fault) {
  for (size_t i = index; i < items_.size(); ++i) {
    if (items_[i].cursor != nullptr) items_[i].cursor->state.reset();
    if (!items_[i].change) Report(items_[i], fault);  // a read not run has read nothing
  }
}

int SqlOpen(SqlCursor& cursor, const char* text, HostList in) {
  cursor.state.reset();
  SqlSeries open;
  int opened = status::kOk;
  open.AddOpen(cursor, text, in, opened);
  return open.Run();
}

int SqlFetch(SqlCursor& cursor, HostList out) {
  if (!cursor.state) return status::kInvalidCursor;
  SqlCursor::State& state = *cursor.state;
  if (int fault = FaultSeam_Check(FaultOp::Fetch, state.text.c_str())) return Noted(fault);
  if (state.next >= state.rows.size()) return status::kNoData;
  state.rows.Read(state.next, state.current);
  int rc = CopyOutputs(state.current, out);
  ++state.next;  // a row that failed to convert is passed, as a fetch moves on in Oracle
  return rc;
}

int SqlClose(SqlCursor& cursor) {
  if (!cursor.state) return status::kInvalidCursor;
  cursor.state.reset();
  return status::kOk;
}

}  // namespace db
