#pragma once
// The one translation from PostgreSQL's reports to the Oracle statuses of status.h: SQLSTATE
// codes of failed statements, and libpq's messages of failed connection attempts.

namespace db::postgresql {

// `sqlState` the five-character SQLSTATE of a failed statement.
int StatusFromSqlState(const char* sqlState);

// `message` libpq's report of a failed connection attempt; `passwordSent` whether the server
// asked for the password.
int StatusFromConnectFailure(const char* message, bool passwordSent);

}  // namespace db::postgresql
