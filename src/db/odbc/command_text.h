#pragma once
// The commands of the transaction model as texts for the driver. On PostgreSQL's own driver a
// statement goes out in one text with the transaction commands in front of it (savepoints,
// releases) and the releases right after it, and queries side by side go out in one text
// together, every input bound to the markers of that text: they cost no round trip of their
// own. Elsewhere each command goes alone (Oracle's driver takes one statement per text).
// Begin, commit and rollback are the driver's own calls.
#include <span>
#include <vector>

#include "db/odbc/session.h"
#include "db/runtime/backend.h"

namespace db::odbc {

// As BackendSession::Send. The driver does not say which part of a text failed: a text with
// one statement is taken as failed at it, queries that failed together run again one by one.
int SendCommands(Link& link, std::span<const Command> commands, std::vector<StepResult>& results,
                 size_t& done);

}  // namespace db::odbc
