#pragma once
// The one translation from a PostgreSQL server's SQLSTATEs and connection refusals to Oracle
// statuses, whichever driver passes them on (libpq, psqlODBC).

namespace db::dialect {

// `sqlState` the five-character SQLSTATE of a failed statement.
int StatusFromPostgresSqlState(const char* sqlState);

// `message` the driver's report of a failed connection attempt, which carries the server's
// refusal; `passwordSent` whether the server asked for the password.
int StatusFromPostgresConnectFailure(const char* message, bool passwordSent);

}  // namespace db::dialect
