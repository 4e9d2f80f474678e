#pragma once
// Opening the connection: the net service name is a libpq URI, user and password travel as
// parameters of their own, and nothing but these three decides where and how to connect.
#include "db/postgresql/channel.h"
#include "db/runtime/catalog.h"

namespace db::postgresql {

// User, password and service are given (checked by the runtime core). Returns 0 and the
// connection in pipeline mode with a silent notice processor, or the Oracle status of the
// failure (-1017, -12154) and libpq's message. A read-only connection's every transaction is read-only.
int OpenConnection(const char* user, const char* password, const char* netService,
                   Access access, ConnectionHandle& connection, std::string& failure);

}  // namespace db::postgresql
