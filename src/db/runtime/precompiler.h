#pragma once
// Turns an embedded-SQL text into the form a backend prepares: the INTO list counted and taken
// out, host variables as '?' markers, transaction control and the schema switch recognised.
#include "db/runtime/backend.h"

namespace db {

// Returns 0, or a negative status for a text the runtime cannot take: a schema name that is not
// a plain identifier (no SQL is built from it), -932 for days added to a column compared with a
// date, which not every backend can run as a date.
int Precompile(const char* text, ParsedStatement& parsed);

// A plain identifier: a letter, then letters, digits, '_', '$' or '#', at most 30 characters.
bool IsPlainIdentifier(const char* text);

}  // namespace db
