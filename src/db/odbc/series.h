#pragma once
// Independent queries in one round trip on PostgreSQL (a recount's tallies). PostgreSQL's
// driver sends a text of several statements as one message, its own statement savepoint
// included, but only as a plain query with the inputs written in: so each query is prepared
// on the server once (PREPARE) and the series is a text of EXECUTEs. The plans are the
// server's, as for a statement run alone.
#include <vector>

#include "db/odbc/statement.h"

namespace db::odbc {

// As BackendSession::RunQueries. A series that fails as a whole (the driver undoes all of it)
// is run again one by one, so that the results and the failure are those of single runs.
int RunSeries(Link& link, const std::vector<Statement*>& statements,
              const std::vector<std::vector<SqlValue>>& inputs,
              std::vector<std::vector<SqlRow>>& rows, size_t& succeeded);

}  // namespace db::odbc
