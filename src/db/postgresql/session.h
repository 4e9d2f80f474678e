#pragma once
// What a PostgreSQL session holds: the wire (owning the connection) and the statements
// prepared on the server.
#include "db/dialect/dialect.h"
#include "db/postgresql/channel.h"
#include "db/runtime/backend.h"
#include "db/postgresql/statement.h"

namespace db::postgresql {

struct Link {
  explicit Link(ConnectionHandle connection) : channel(std::move(connection)) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  Channel channel;
  PreparedStatements prepared;
};

// The link of a session this backend opened.
Link& LinkOf(BackendSession& session);

// A text of the dialect's own with its markers numbered, as libpq takes them.
inline std::string OwnText(const std::string& sql) {
  return dialect::Postgres().Adapt(sql, 0, dialect::Markers::Numbered).sql;
}

}  // namespace db::postgresql
