#pragma once
// What a PostgreSQL session holds: the wire (owning the connection) and the statements
// prepared on the server.
#include <string>

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

// Opening the connection: the net service name is a libpq URI, user and password travel as
// parameters of their own, and nothing but these three decides where and how to connect.
// Returns 0 and the connection in pipeline mode with a silent notice processor, or the status
// of the failure (-1017, -12154) and libpq's message. Whether it may write is the session's to
// say, after the connect: libpq's choice among several hosts must see the server as it is.
int OpenConnection(const char* user, const char* password, const char* netService,
                   ConnectionHandle& connection, std::string& failure);

// The answer bound's parameter of the net service, taken out before libpq sees the text:
//   postgresql://h1,h2/plan?target_session_attrs=read-write&kestrumel_answer_timeout=300
// Copies `netService` into `rest` without it and sets `seconds` from it (the default when it
// is absent). False when it is given twice or is no whole number of seconds from 15 to 86400.
bool TakeAnswerBound(const std::string& netService, std::string& rest, int& seconds);

}  // namespace db::postgresql
