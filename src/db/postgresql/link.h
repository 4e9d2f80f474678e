#pragma once
// What a session shares with its statements: the wire, the transaction over it and the
// statements prepared on the server. Statements hold it weakly, so that one outliving its
// session reports a lost connection instead of touching a closed one.
#include <string>
#include <unordered_map>

#include "db/postgresql/channel.h"
#include "db/postgresql/transaction.h"

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

struct Link {
  explicit Link(ConnectionHandle connection) : channel(std::move(connection)) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  Channel channel;
  Transaction transaction{channel};
  PreparedStatements prepared;
};

}  // namespace db::postgresql
