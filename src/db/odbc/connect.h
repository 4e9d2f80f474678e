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

// `user`, `password` and `netService` are not empty (the runtime core checks them). Returns 0
// and the link, or the Oracle status of the failure (-12154 for a connection string carrying
// credentials of its own or an unknown server, or the server's own refusal).
// A read-only link cannot change anything. `failure` gets the driver's message of a failed
// connect.
int OpenLink(const char* user, const char* password, const char* netService, Access access,
             std::shared_ptr<Link>& link, std::string& failure);

}  // namespace db::odbc
