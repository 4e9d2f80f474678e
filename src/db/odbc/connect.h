#pragma once
// Opening the connection: the driver manager finds the driver by the connection string, the
// driver's server decides the dialect.
#include <memory>

#include "db/odbc/session.h"
#include "db/runtime/catalog.h"

namespace db::odbc {

// `user`, `password` and `netService` are not empty (the runtime core checks them). Returns 0
// and the link, or the Oracle status of the failure (-12154 for a connection string carrying
// credentials of its own or an unknown server, or the server's own refusal).
// A read-only link cannot change anything. `failure` gets the driver's message of a failed
// connect.
int OpenLink(const char* user, const char* password, const char* netService, Access access,
             std::shared_ptr<Link>& link, std::string& failure);

}  // namespace db::odbc
