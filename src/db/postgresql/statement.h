#pragma once
// A statement of the program on PostgreSQL: the adapted text, prepared on the server at its
// first run (when the types of its inputs are known) and run under the transaction rules.
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/dialect/postgresql_text.h"
#include "db/postgresql/channel.h"
#include "db/runtime/backend.h"

namespace db::postgresql {

// Server-side prepared statements, one per distinct text and parameter types, for the life
// of the connection (they survive rollbacks).
class PreparedStatements {
 public:
  // The server's name for `key`; `prepared` tells whether it exists there yet.
  const std::string& NameFor(const std::string& key, bool& prepared);
  void MarkPrepared(const std::string& key);

 private:
  struct Entry {
    std::string name;
    bool prepared = false;
  };
  std::unordered_map<std::string, Entry> entries_;
};

struct Link;

class Statement : public BackendStatement {
 public:
  // `locks`: a query that locks its rows, run inside the transaction.
  Statement(std::weak_ptr<Link> link, dialect::PostgresText text, bool modifies, bool locks)
      : link_(std::move(link)), text_(std::move(text)), modifies_(modifies), locks_(locks) {}

  int Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
          int64_t* affected) override;

  // Statements of one session in one round trip, under the transaction rules as one after the
  // other; the server stops at the first that fails. As BackendSession::RunSteps.
  static int RunSteps(Link& link, std::span<const BackendStep> steps,
                      std::vector<StepResult>& results, size_t& succeeded);

 private:
  struct Parameters {
    std::vector<std::string> texts;
    std::vector<const char*> values;
    std::vector<Oid> types;
  };
  // Where a statement's commands stand in a pipeline.
  struct Placed {
    std::string key;
    bool prepared = false;  // on the server before this run
    size_t prepare = 0;     // its Prepare command, when not prepared
    size_t execute = 0;     // its Execute command
  };

  int BuildParameters(Link& link, const std::vector<SqlValue>& inputs,
                      Parameters& parameters) const;
  // Appends the commands that run this statement with `parameters` (kept alive by the caller).
  // `preparing` holds the keys that an earlier command of the same pipeline prepares.
  Placed AddCommands(Link& link, const Parameters& parameters, std::vector<Command>& commands,
                     std::unordered_set<std::string>& preparing) const;
  static void NotePrepared(Link& link, const Placed& placed, const Outcome& outcome,
                           size_t offset);

  std::weak_ptr<Link> link_;
  dialect::PostgresText text_;
  bool modifies_;
  bool locks_;
};

}  // namespace db::postgresql
