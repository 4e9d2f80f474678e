#pragma once
// A statement of the program on PostgreSQL: the adapted text, prepared on the server at its
// first run (when the types of its inputs are known) and run under the transaction rules.
#include <memory>
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

// The server's inputs of one run of a statement; the commands point into them.
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

class Statement : public BackendStatement {
 public:
  Statement(dialect::DialectText text, bool modifies) : text_(std::move(text)), modifies_(modifies) {}

  const dialect::DialectText& Text() const { return text_; }

  // Appends the commands that run this statement with `inputs`, converted into `parameters`
  // (which must stay put until the pipeline has run). `preparing` holds the keys that an
  // earlier command of the same pipeline prepares. Returns 0, or the status of an input that
  // cannot be sent, before anything is appended.
  int AddCommands(Link& link, const std::vector<SqlValue>& inputs, Parameters& parameters,
                  std::vector<Command>& commands, std::unordered_set<std::string>& preparing,
                  Placed& placed) const;
  // The answer of the run placed at `placed`: notes a prepare that went through and, when the
  // run succeeded, takes its result.
  void TakeOutcome(Link& link, const Placed& placed, const Outcome& outcome, bool succeeded,
                   StepResult& result) const;

 private:
  int BuildParameters(Link& link, const std::vector<SqlValue>& inputs,
                      Parameters& parameters) const;

  dialect::DialectText text_;
  bool modifies_;
};

}  // namespace db::postgresql
