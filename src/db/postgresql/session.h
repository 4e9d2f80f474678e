#pragma once
// What a PostgreSQL session shares with its statements: the wire (owning the connection), the
// transaction over it and the statements prepared on the server. Statements hold it weakly,
// so that one outliving its session reports a lost connection instead of touching a closed
// one.
#include "db/postgresql/channel.h"
#include "db/postgresql/statement.h"
#include "db/postgresql/transaction.h"

namespace db::postgresql {

struct Link {
  explicit Link(ConnectionHandle connection) : channel(std::move(connection)) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  Channel channel;
  Transaction transaction{channel};
  PreparedStatements prepared;
};

}  // namespace db::postgresql
