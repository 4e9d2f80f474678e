#pragma once
// A statement of the program on PostgreSQL: the adapted text, prepared on the server at its
// first run (when the types of its inputs are known) and run under the transaction rules.
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/dialect/postgresql.h"
#include "db/postgresql/channel.h"
#include "db/runtime/backend.h"

namespace db::postgresql {

// The server's integer types. An integer input goes as int4; any other input's type is left to
// the server, which takes that of the column or argument it meets and so keeps indexes usable.
constexpr Oid kInt2Type = 21;
constexpr Oid kInt4Type = 23;
constexpr Oid kInt8Type = 20;

inline bool IsIntegerType(Oid type) { return type == kInt2Type || type == kInt4Type || type == kInt8Type; }

// Server-side prepared statements, one per distinct text and parameter types, for the life
// of the connection (they survive rollbacks).
class PreparedStatements {
 public:
  struct Entry {
    std::string name;       // the server's
    bool prepared = false;  // exists on the server
  };
  // The entry of `key`, made on first use; it stays where it is for the connection's life.
  Entry& EntryFor(const std::string& key);

 private:
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
  PreparedStatements::Entry* entry = nullptr;
  bool prepared = false;  // on the server before this run
  size_t prepare = 0;     // its Prepare command, when not prepared
  size_t execute = 0;     // its Execute command
};

class Statement : public BackendStatement {
 public:
  Statement(dialect::DialectText text, bool modifies) : text_(std::move(text)), modifies_(modifies) {}

  const dialect::DialectText& Text() const { return text_; }

  // Appends the commands that run this statement with `inputs`, converted into `parameters`
  // (which must stay put until the pipeline has run). `preparing` holds the entries that an
  // earlier command of the same pipeline prepares. Returns 0, or the status of an input that
  // cannot be sent, before anything is appended.
  int AddCommands(Link& link, const std::vector<SqlValue>& inputs, Parameters& parameters,
                  std::vector<Command>& commands,
                  std::unordered_set<const PreparedStatements::Entry*>& preparing,
                  Placed& placed) const;
  // The answer of the run placed at `placed`: notes a prepare that went through and, when the
  // run succeeded, takes its result.
  void TakeOutcome(const Placed& placed, const Outcome& outcome, bool succeeded,
                   StepResult& result) const;

 private:
  int BuildParameters(Link& link, const std::vector<SqlValue>& inputs,
                      Parameters& parameters) const;
  PreparedStatements::Entry& EntryFor(Link& link, const std::vector<Oid>& types) const;

  dialect::DialectText text_;
  bool modifies_;
  // The entries this statement ran under, by their input types (one or two): its key, the
  // whole text, is built and looked up once per connection, not at every run.
  struct KnownEntry {
    std::vector<Oid> types;
    PreparedStatements::Entry* entry;
  };
  mutable const PreparedStatements* knownFor_ = nullptr;
  mutable std::vector<KnownEntry> known_;
};

}  // namespace db::postgresql
