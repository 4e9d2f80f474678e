#pragma once
// Opening the connection: the net service name is a libpq URI, user and password travel as
// parameters of their own, and nothing but these three decides where and how to connect.
#include "db/postgresql/channel.h"

namespace db::postgresql {

// User, password and service are given (checked by the runtime core). Returns 0 and the
// connection in pipeline mode with a silent notice processor, or the Oracle status of the
// failure (-1017, -12154) and libpq's message. Whether the session may write is the
// session's to say, after the connect: libpq's choice among several hosts must see the server
// as it is.
int OpenConnection(const char* user, const char* password, const char* netService,
                   ConnectionHandle& connection, std::string& failure);

}  // namespace db::postgresql
