#pragma once
// Where a stop asked for from outside comes from: on POSIX the signals SIGTERM (a service
// manager) and SIGINT (an operator's Ctrl-C); on Windows the console's events, Ctrl-C as
// SIGINT and Ctrl-Break, closing the console, logoff and shutdown as SIGTERM. Each is noted
// in common/stop_request.h with its signal number, and the program winds down as it sees it
// there.
namespace platform {

// From now on notes each stop request instead of letting it end the process. System calls
// under way go on.
void CatchStopRequests();

}  // namespace platform
