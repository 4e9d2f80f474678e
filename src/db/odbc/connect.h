#pragma once
// Opening the connection: the driver manager finds the driver by the connection string, the
// driver's server decides the dialect.
#include <memory>

#include "db/odbc/link.h"

namespace db::odbc {

// Returns 0 and the link, or the Oracle status of the failure (-1005, -1017, -12154, or the
// server's own refusal).
int OpenLink(const char* user, const char* password, const char* netService,
             std::shared_ptr<Link>& link);

}  // namespace db::odbc
