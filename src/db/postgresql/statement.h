#pragma once
// A statement of the program on PostgreSQL: the adapted text, prepared on the server at its
// first run (when the types of its inputs are known) and run under the transaction rules.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/postgresql/channel.h"
#include "db/postgresql/dialect.h"
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
  Statement(std::weak_ptr<Link> link, PostgresText text, bool modifies)
      : link_(std::move(link)), text_(std::move(text)), modifies_(modifies) {}

  int Run(const std::vector<SqlValue>& inputs, std::vector<SqlRow>* rows,
          int64_t* affected) override;

 private:
  struct Parameters {
    std::vector<std::string> texts;
    std::vector<const char*> values;
    std::vector<Oid> types;
  };

  int BuildParameters(Link& link, const std::vector<SqlValue>& inputs,
                      Parameters& parameters) const;

  std::weak_ptr<Link> link_;
  PostgresText text_;
  bool modifies_;
};

}  // namespace db::postgresql
