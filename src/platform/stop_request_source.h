#pragma once
// Where a stop asked for from outside comes from: on POSIX the signals SIGTERM (a service
// manager) and SIGINT (an operator's Ctrl-C). Each is noted in common/stop_request.h with its
// signal number, and the program winds down as it sees it there.
namespace platform {

// From now on notes each stop request instead of letting it end the process. System calls
// under way go on.
void CatchStopRequests();

}  // namespace platform
