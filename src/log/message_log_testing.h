#pragma once
// Test hooks of the message log. The program itself never calls them.
#include <cstdint>

// Replaces the entry limit (3000) until the next SetLogFile or reset.
void MessageLog_SetEntryLimitForTesting(int32_t limit);
// Replaces how long an entry waits for another writer (30 s) until the next SetLogFile or reset.
void MessageLog_SetLockWaitForTesting(double seconds);
// Entries this process has counted towards the next rotation.
int32_t MessageLog_EntryCountForTesting();
// Back to the state before the first SetLogFile: mask 0, default names, count 0.
void MessageLog_ResetForTesting();
