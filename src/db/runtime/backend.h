#pragma once
// What a database backend offers the runtime core. One folder per backend under src/db
// implements it; the core never sees a native type and a backend never sees a host variable.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/runtime/sql_rows.h"
#include "db/runtime/sql_value.h"

namespace db {

// A statement after precompilation: the INTO list removed, every input placeholder
// replaced by '?' (one per position, in order, outside quoted literals). The text keeps the
// Oracle dialect (TO_DATE, TO_CHAR, sysdate, date + days); the backend adapts it.
struct ParsedStatement {
  enum class Kind : uint8_t { Query, Modify, Savepoint, RollbackTo, Commit, Rollback, SetSchema };
  Kind kind = Kind::Query;
  std::string text;      // original embedded-SQL text, for diagnostics and fault matching
  std::string body;      // Query/Modify: SQL with '?' placeholders
  int inputCount = 0;
  int intoCount = 0;     // Query with INTO: number of output host variables
  std::string name;      // Savepoint/RollbackTo: savepoint name; SetSchema: schema name
};

class BackendStatement {
 public:
  virtual ~BackendStatement() = default;
  // Runs the statement with `inputs` (one per '?', in order; Null stands for an empty text).
  // A query appends every result row to `rows` (the whole result, read at once, so that a
  // cursor keeps its opening rows); a value of a row that cannot be converted becomes an
  // Error value of that row, not a failure of the query. A modification sets `affected`. Returns 0 or a negative
  // Oracle status; a failed statement undoes only its own effect, the open transaction
  // and its other pending work go on.
  virtual int Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
                  int64_t* affected) = 0;
};

// One statement of a series, its inputs bound.
struct BackendStep {
  BackendStatement* statement = nullptr;
  std::vector<SqlValue> inputs;
  bool modifies = false;  // a change, which sets `affected`; else a query, which appends rows
  std::string savepoint;  // a change's own savepoint of the program, set right before it
};

struct StepResult {
  SqlRows rows;
  int64_t affected = 0;
};

class BackendSession {
 public:
  virtual ~BackendSession() = default;
  virtual int Prepare(const ParsedStatement& statement,
                      std::unique_ptr<BackendStatement>& prepared) = 0;
  // Oracle transactions: a transaction begins implicitly with the first modification after a
  // commit; savepoints live inside it; rollback to a savepoint keeps the transaction open.
  virtual int Savepoint(const std::string& name) = 0;
  virtual int RollbackTo(const std::string& name) = 0;
  virtual int Commit() = 0;
  // Ends the transaction and undoes all its work, lost work included: what follows starts
  // clean. Without a transaction there is nothing to undo.
  virtual int Rollback() = 0;
  // Makes `schema` (already checked to be a plain identifier) the schema of unqualified names.
  virtual int SetSchema(const std::string& schema) = 0;
  // Diagnostics of the last failure: the native code and message, kept for tests and tools.
  virtual std::string LastNativeError() const = 0;
  // Runs queries of this session (with their inputs) in order, appending the result of the
  // i-th to `rows[i]`; stops at the first failure and returns its status. `succeeded` counts
  // the queries before it. By default they run one by one; a backend may send them together.
  virtual int RunQueries(const std::vector<BackendStatement*>& statements,
                         const std::vector<std::vector<SqlValue>>& inputs,
                         std::vector<SqlRows>& rows, size_t& succeeded);
  // Runs the steps in order as they would run one after the other, each step's savepoint set
  // right before it (also when the step then fails); stops at the first failure and returns
  // its status, `succeeded` counting the steps before it. A change that matches no row may end
  // the run there with status 0, so that it can be taken back alone. By default the steps run
  // one by one, and queries alone go to RunQueries; a backend may send them together.
  virtual int RunSteps(std::span<const BackendStep> steps, std::vector<StepResult>& results,
                       size_t& succeeded);
};

// What a backend folder registers about itself (in its session.cpp): its name, the net
// service prefixes it serves and its opener. The build lists every folder's entry in a
// generated source (backend_list.cpp.in), so the core refers to each one and a static link
// keeps them all; the core chooses by prefix and knows no backend by name.
struct BackendEntry {
  const char* name;               // the folder's name: "sqlite", "postgresql"
  const char* prefixes[3];        // net service prefixes, unused places null
  // Called with a non-empty user, password and service that starts with one of the prefixes.
  int (*open)(const char* user, const char* password, const char* netService,
              std::unique_ptr<BackendSession>& session);
};

// Every registered backend, in the order the build lists them.
const std::vector<const BackendEntry*>& RegisteredBackends();

// The last native error of the current session ("" when none), for tests and diagnostics.
std::string SqlLastNativeError();

}  // namespace db
