#pragma once
// What a database backend offers the runtime core. One folder per backend under src/db
// implements it; the core never sees a native type and a backend never sees a host variable.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/runtime/runtime.h"
#include "db/runtime/sql_rows.h"

namespace db {

// A statement after precompilation: the INTO list removed, every input a '?', in order. The
// text keeps the Oracle dialect (TO_DATE, TO_CHAR, sysdate, date + days); the backend adapts it.
struct ParsedStatement {
  enum class Kind : uint8_t { Query, Modify, Savepoint, RollbackTo, Commit, Rollback, SetSchema };
  Kind kind = Kind::Query;
  std::string text;      // original embedded-SQL text, for diagnostics and fault matching
  std::string body;      // Query/Modify: SQL with '?' placeholders
  int inputCount = 0;
  int intoCount = 0;     // Query with INTO: number of output host variables
  std::string name;      // Savepoint/RollbackTo: savepoint name; SetSchema: schema name
  bool locksRows = false;  // a query that locks the rows it reads (FOR UPDATE)
};

// A prepared statement of a backend; the backend runs it when a command of its session names it.
class BackendStatement {
 public:
  virtual ~BackendStatement() = default;
};

// One statement to run, its inputs bound (one per '?'; Null for an empty text). A query
// appends its whole result at once, so that a cursor keeps its opening rows; a value that
// cannot be converted becomes an Error value of its row, not a failure. A change sets `affected`.
struct BackendStep {
  BackendStatement* statement = nullptr;
  std::vector<SqlValue> inputs;
  bool modifies = false;   // a change; else a query
  bool locksRows = false;  // a query that locks the rows it reads
  bool guarded = false;    // a change that undoes only itself when it fails or matches no row
};

struct StepResult {
  SqlRows rows;
  int64_t affected = 0;
};

// What the runtime's transaction model (transaction.h) asks a backend to send, in the
// backend's own words. Savepoint names are the model's, plain identifiers.
struct Command {
  enum class Kind : uint8_t { Begin, Savepoint, Release, RollbackTo, Commit, Rollback, Statement };
  Kind kind = Kind::Statement;
  std::string savepoint;              // Savepoint, Release, RollbackTo
  const BackendStep* step = nullptr;  // Statement
};

// Where the server's transaction stands after the last commands.
enum class ServerTransaction : uint8_t {
  None,    // no transaction: what follows runs on its own
  Open,    // open and usable
  Failed,  // open, but refusing everything until it is rolled back (to a savepoint)
  Lost,    // the connection is gone: nothing more can be sent
};

// What a backend's server does on its own, which the transaction model leaves to it.
struct TransactionTraits {
  // A failed statement undoes only itself and the transaction goes on (SQLite, Oracle);
  // otherwise the model sets a savepoint where a failure could spoil earlier work.
  bool undoesFailedStatement = false;
  // RELEASE SAVEPOINT exists; otherwise a savepoint no name marks any more is only forgotten.
  bool releasesSavepoints = true;
  // Savepoints set before the first change stay out of the server: going back to one is a
  // rollback of the whole transaction, which then opens again with the next change.
  bool keepsStartSavepoints = false;
  // A query's row locks (FOR UPDATE) last to the commit only inside a transaction, so such a
  // query opens one as a change does. A server without row locks needs no transaction for it.
  bool locksRows = true;
};

class BackendSession {
 public:
  virtual ~BackendSession() = default;
  virtual int Prepare(const ParsedStatement& statement,
                      std::unique_ptr<BackendStatement>& prepared) = 0;
  virtual TransactionTraits Traits() const = 0;
  // Sends the commands in order, in as few round trips as the backend can, and stops at the
  // first that fails. `results` gets one entry per command (used by Statement commands);
  // `done` counts the commands that succeeded. Returns 0 or the status of the failure.
  // Begin opens a transaction, Commit and Rollback end it; outside one a statement runs on
  // its own.
  virtual int Send(std::span<const Command> commands, std::vector<StepResult>& results,
                   size_t& done) = 0;
  virtual ServerTransaction Transaction() const = 0;
  // Makes `schema` (already checked to be a plain identifier) the schema of unqualified names;
  // called with no transaction pending.
  virtual int SetSchema(const std::string& schema) = 0;
  // Takes the session's lock `name` without waiting, for as long as the session lasts; `taken`
  // says whether it was free. A server without such locks returns kNoNamedLocks.
  virtual int TryLockName(const std::string& /*name*/, bool& taken) {
    taken = false;
    return kNoNamedLocks;
  }
  // Diagnostics of the last failure: the native code and message, kept for tests and tools.
  virtual std::string LastNativeError() const = 0;
  // Records a failure found by the runtime itself as the last one and returns `status`.
  virtual int FailWith(int status, const std::string& message) = 0;
};

// What a backend folder registers about itself in its session.cpp. The build lists every
// entry in a generated source (backend_list.cpp.in), so a static link keeps them all and the
// core, choosing by prefix, knows no backend by name.
struct BackendEntry {
  const char* name;               // the folder's name: "sqlite", "postgresql"
  const char* prefixes[3];        // net service prefixes, unused places null
  // Called with a non-empty user, password and service that starts with one of the prefixes.
  // On failure `failure` says why in the driver's words (never with the password).
  int (*open)(const char* user, const char* password, const char* netService, Access access,
              std::unique_ptr<BackendSession>& session, std::string& failure);
};

// Every registered backend, in the order the build lists them.
const std::vector<const BackendEntry*>& RegisteredBackends();

// The session of the current connection and the name of its backend; null when none.
BackendSession* ConnectedSession(const char*& backendName);

}  // namespace db
