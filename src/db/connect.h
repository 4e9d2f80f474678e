#pragma once
// The one connection of a run: connect, then switch the session to the configured schema.
// Returns 0, or the status of the failed connect or schema switch.
int dbConnect(const char* user, const char* password, const char* netService, const char* schema);
