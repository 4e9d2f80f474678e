#pragma once
// The entry of a failed database operation.

// Writes the usual entry (kind FMSG) for `status`, unless the connection is gone: a lost
// connection is no failure of the operation that found it, and the request loop reports it
// once, with what became of the run.
void ReportFailure(const char* function, const char* message, int status);
