#pragma once
// The embedded-SQL runtime, what a precompiler and its client library give a table module: it
// takes texts such as "select a ,b into :b0,:b1:b2 from T where c=:b3" with host variables by
// position, prepares each distinct text once per connection and returns the Oracle status of
// every call (status.h). Nothing here throws.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "db/status.h"

namespace db {

struct BackendStep;
struct StepResult;

enum class HostType : uint8_t { Text, Int };

// One host variable, bound by position. For texts `size` is the buffer width announced to the
// database, NUL included: inputs send the text up to its NUL (an empty text arrives as NULL),
// outputs are cut to size-1 characters and NUL-terminated.
struct HostVar {
  HostType type;
  void* addr;
  int32_t size;
  bool indicator;  // output only: a NULL is tolerated and becomes "" or 0 instead of -1405
};

// A text buffer announces its own width: the array's size, so a width cannot disagree with it.
template <size_t N>
constexpr HostVar TextIn(const char (&text)[N]) {
  return {HostType::Text, const_cast<char*>(text), static_cast<int32_t>(N), false};
}
template <size_t N>
constexpr HostVar TextOut(char (&buffer)[N], bool indicator = false) {
  return {HostType::Text, buffer, static_cast<int32_t>(N), indicator};
}
// For a text that is not an array of its own width (a pointer, a literal sent at a wider width).
constexpr HostVar TextIn(const char* text, int32_t size) {
  return {HostType::Text, const_cast<char*>(text), size, false};
}
constexpr HostVar TextOut(char* buffer, int32_t size, bool indicator = false) {
  return {HostType::Text, buffer, size, indicator};
}
constexpr HostVar IntIn(const int32_t& value) {
  return {HostType::Int, const_cast<int32_t*>(&value), 4, false};
}
constexpr HostVar IntOut(int32_t& value, bool indicator = false) {
  return {HostType::Int, &value, 4, indicator};
}

using HostList = std::initializer_list<HostVar>;

// A read-only connection cannot change anything, also not by mistake: the server or the file
// system refuses it.
enum class Access : uint8_t { ReadWrite, ReadOnly };

// Opens the one connection of the process, replacing any other. The net service name selects
// the backend ("sqlite:DIR", "postgresql://HOST[:PORT]/DB"); user and password go apart, never
// joined into a connect string.
int SqlConnect(const char* user, const char* password, const char* netService,
               Access access = Access::ReadWrite);

// The last native error of the current session ("" when none), for tests and diagnostics.
std::string SqlLastNativeError();

// The name of the backend that serves `netService` ("sqlite", "postgresql", "odbc"), or null
// when none does.
const char* SqlBackendServing(const char* netService);

// Ends the connection; pending work is not kept. Only tests call it: a run's ends with the run.
void SqlDisconnect();

// Runs one statement: select ... into (exactly one row), insert, update, delete, "commit",
// "rollback", "ALTER SESSION SET CURRENT_SCHEMA=S". `out`, a select's INTO list, is written
// only when the status is 0. "savepoint X" or "rollback  to X" on its own is refused
// (kSavepointUnknown): a savepoint guards one change of a series (GuardedStatement).
int SqlExecute(const char* text, HostList in = {}, HostList out = {});

// A change that undoes only itself when it fails or matches no row, as the program writes it
// ("savepoint X", the statement, "rollback  to X"); the runtime takes the three as one guarded
// change (transaction.h). `onSuccess`, when given, runs after a success.
struct GuardedStatement {
  const char* savepoint;
  const char* statement;
  const char* rollback;
  const char* onSuccess = nullptr;
};

// A cursor delivers the rows as they stood at its opening, whatever the connection changes or
// commits afterwards. A fetch on a cursor that is not open returns a negative status.
class SqlCursor {
 public:
  SqlCursor();
  ~SqlCursor();
  struct State;
  std::unique_ptr<State> state;
};
int SqlOpen(SqlCursor& cursor, const char* text, HostList in = {});
int SqlFetch(SqlCursor& cursor, HostList out);  // out: one host variable per select-list column
int SqlClose(SqlCursor& cursor);

// Statements that do not depend on each other's results, from several table modules, run in
// the order added as the single calls would, in one round trip where the backend can. The
// host variables' buffers are read and written by Run.
class SqlSeries {
 public:
  // Inline: the table modules add statements for every request. A failed change does not
  // stop the series.
  void AddChange(const GuardedStatement& guarded, HostList in, int& status) {
    items_.push_back({.text = guarded.statement,
                      .in = {in.begin(), in.end()},
                      .status = &status,
                      .change = true,
                      .guarded = guarded});
  }
  // A change as SqlExecute runs it, without a savepoint of its own.
  void AddChange(const char* text, HostList in, int& status) {
    AddChange({.savepoint = nullptr, .statement = text, .rollback = nullptr}, in, status);
  }
  // A select into; its status goes to `status` (0 once its outputs are written).
  void Add(const char* text, HostList in, HostList out, int& status) {
    items_.push_back({.text = text,
                      .in = {in.begin(), in.end()},
                      .out = {out.begin(), out.end()},
                      .status = &status});
  }
  // The opening of `cursor`, which Run reopens as SqlOpen would; its status goes to `status`.
  void AddOpen(SqlCursor& cursor, const char* text, HostList in, int& status) {
    items_.push_back(
        {.text = text, .in = {in.begin(), in.end()}, .cursor = &cursor, .status = &status});
  }
  // Stops at the first query that does not return 0 and returns its status (0 when none);
  // what it did not reach gets that status. A fault (SqlFault) stops it too, also at a change
  // (Run then returns 0): the changes after it keep their callers' statuses, the queries get
  // the fault. A fault noted before sends nothing and goes to every item. Run empties it.
  int Run();

 private:
  struct Item {
    const char* text = nullptr;
    std::vector<HostVar> in{};
    std::vector<HostVar> out{};
    SqlCursor* cursor = nullptr;     // an opening: the cursor it opens
    int* status = nullptr;           // where its status goes, if anywhere
    bool change = false;
    GuardedStatement guarded{};      // a change: its savepoint and what follows it
  };
  struct Staged;
  int RunItems();
  int RunStaged(const std::vector<Staged>& staged, const std::vector<BackendStep>& steps,
                size_t& stoppedAt);
  size_t BatchEnd(const std::vector<Staged>& staged, size_t from) const;
  int Settle(size_t from, size_t ran, int rc, size_t end, std::vector<StepResult>& results,
             size_t& resume);
  int Deliver(const Item& item, StepResult& result);
  void FinishChange(const Item& item, int status);
  int Stop(size_t index, int status);
  void LeaveUnsent(size_t index, int fault);
  static void Report(const Item& item, int status);

  std::vector<Item> items_;
};

// The first fault (status_kind.h) a statement met since the last commit or rollback, or 0. Until
// a "rollback" forgets it, every statement returns it unrun: no such work becomes permanent.
int SqlFault();

// Whether the connection is gone (lost, or never made): nothing can be sent until a new
// connect, whatever status the statement that found out returned.
bool SqlConnectionLost();

// A rehearsal: the program's work runs as it would, and none of it stays. "commit" keeps work
// for the rest of it, "rollback" goes back to the last commit, SqlEndRehearsal rolls all back.
// Once the server drops its transaction, the rest, and a new connect, are refused
// (kTransactionRolledBack): a new session would keep what it is given.
int SqlBeginRehearsal();
int SqlEndRehearsal();

// Takes the session's lock `name` without waiting, between transactions: 0 with `taken` telling
// whether it was free, kNoNamedLocks when the server has no such locks, or the failure's status.
constexpr int kNoNamedLocks = 1;
int SqlTryLockName(const char* name, bool& taken);

}  // namespace db
