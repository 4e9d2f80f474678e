#pragma once
// The commands of the transaction model as texts for the driver. A statement goes alone in its
// text, prepared once, its inputs bound (PostgreSQL's driver would write them into a text of
// several statements). On PostgreSQL's own driver savepoint commands side by side share a text
// and the releases after a statement wait for the next one's, costing no round trip; elsewhere
// each goes alone. Begin, commit and rollback are the driver's own calls.
#include <span>
#include <vector>

#include "db/odbc/session.h"
#include "db/runtime/backend.h"

namespace db::odbc {

// As BackendSession::Send.
int SendCommands(Link& link, std::span<const Command> commands, std::vector<StepResult>& results,
                 size_t& done);

}  // namespace db::odbc
