#pragma once
// The entry of a failed database operation.

// Writes the usual entry (kind FMSG) for `status`, unless the connection is gone: that is no
// failure of the operation that found it, and the request loop reports it once.
void ReportFailure(const char* function, const char* message, int status);
