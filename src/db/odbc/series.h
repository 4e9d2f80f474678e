#pragma once
// Statements in one text, so in one round trip, on PostgreSQL. Its ODBC driver sends a text
// of several statements as one plain query (and would describe each of them on the server
// first were inputs bound to it, which fails for EXECUTE): so each statement is prepared on
// the server once (PREPARE) and the text runs it as EXECUTE with its inputs written in, the
// plan kept by the server as for a statement run alone. Independent
// queries go out together this way (a recount's tallies), and so does a statement with the
// automatic savepoint in front of it.
#include <vector>

#include "db/odbc/statement.h"
#include "db/odbc/transaction.h"

namespace db::odbc {

// Runs the first `count` statements, inputs converted, as one text after `wrap`'s control
// statements. Queries append their rows to (*rows)[i]; a single modification sets `affected`.
// `succeeded` counts the statements whose results were read; `sent`, whether the text went to
// the server (else the transaction stands as it stood). Returns 0 or the status of the failure.
int RunInOneText(Link& link, const std::vector<Statement*>& statements,
                 const std::vector<Statement::Parameters>& parameters, size_t count,
                 const Wrap& wrap, std::vector<SqlRows>* rows, int64_t* affected,
                 size_t& succeeded, bool& sent);

// As BackendSession::RunQueries. A series that fails as a whole is taken back and run again
// one by one, so that the results and the failure are those of single runs.
int RunSeries(Link& link, const std::vector<Statement*>& statements,
              const std::vector<std::vector<SqlValue>>& inputs,
              std::vector<SqlRows>& rows, size_t& succeeded);

}  // namespace db::odbc
