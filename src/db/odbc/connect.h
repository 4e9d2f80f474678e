#pragma once
// Opening the connection: the driver manager finds the driver by the connection string, the
// driver's server decides the dialect.
#include <memory>
#include <string_view>

#include "db/dialect/dialect.h"
#include "db/odbc/session.h"
#include "db/runtime/runtime.h"

namespace db::odbc {

// The server behind the driver by its SQL_DBMS_NAME: 0 and its dialect, or -12154 for a server
// this program has no dialect for.
int DialectFromDbmsName(std::string_view dbmsName, const dialect::Dialect*& dialect);

// Whether the driver manager's lists tell that `connectionString` reaches PostgreSQL's own
// driver: the library of its DSN's driver and of its Driver both named so. False where they do
// not tell (no DSN or Driver, a file DSN, a list cut short).
bool ReachesPostgresDriver(SQLHENV environment, std::string_view connectionString);

// Returns 0 and the link (a read-only one cannot change anything), or the status of the failure
// (-12154 for a connection string carrying credentials or an unknown server, else the server's
// refusal) with the driver's message in `failure`. `user`, `password` and `netService` are
// not empty.
int OpenLink(const char* user, const char* password, const char* netService, Access access,
             std::shared_ptr<Link>& link, std::string& failure);

}  // namespace db::odbc
