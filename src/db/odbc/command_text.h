#pragma once
// The commands of the transaction model as texts for the driver. Every statement goes in a
// text of its own, prepared once, its inputs bound: PostgreSQL's driver sends such a text with
// its inputs apart from it, where it writes them into a text of several statements. Savepoint
// commands side by side share a text; on PostgreSQL's own driver the releases after a
// statement wait to go out with the next savepoint command, so that they cost no round trip
// of their own. Elsewhere each command goes alone (Oracle's driver takes one statement per
// text). Begin, commit and rollback are the driver's own calls.
#include <span>
#include <vector>

#include "db/odbc/session.h"
#include "db/runtime/backend.h"

namespace db::odbc {

// As BackendSession::Send.
int SendCommands(Link& link, std::span<const Command> commands, std::vector<StepResult>& results,
                 size_t& done);

}  // namespace db::odbc
