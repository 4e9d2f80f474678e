#pragma once
// Turns an embedded-SQL statement text into the form a backend prepares: the INTO list taken
// out and counted, host variables replaced by positional '?' markers, transaction control and
// the schema switch recognised. Pure text work; no database involved.
#include "db/runtime/backend.h"

namespace db {

// Returns 0, or a negative status for a text the runtime cannot take (for instance a schema
// name that is not a plain identifier: no SQL is ever built from it; -932 for days added to a
// column compared with a TO_DATE or sysdate, which not every backend can run as a date).
int Precompile(const char* text, ParsedStatement& parsed);

// A plain identifier: a letter, then letters, digits, '_', '$' or '#', at most 30 characters.
bool IsPlainIdentifier(const char* text);

}  // namespace db
