#pragma once
// What a PostgreSQL session holds: the wire (owning the connection) and the statements
// prepared on the server.
#include "db/postgresql/channel.h"
#include "db/postgresql/statement.h"

namespace db::postgresql {

struct Link {
  explicit Link(ConnectionHandle connection) : channel(std::move(connection)) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  Channel channel;
  PreparedStatements prepared;
};

}  // namespace db::postgresql
