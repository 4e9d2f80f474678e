#pragma once
// Connecting again after a connection was lost (a server gone, a failover), or while the
// first connect of a run meets a server that is not there yet: so that a run pauses instead
// of ending.

// Tries to connect again for up to 60 s from now, waiting a little longer after each try, and
// gives up early when a stop is asked for. On success writes one entry with `lossStatus` and
// returns true: the statements are prepared anew on the new connection as they are used.
bool Reconnect(int lossStatus);

// Calls `connect` (a first connect of the run) until it succeeds or fails for a reason that no
// later try cures, for up to 60 s, with the reconnect's pauses; a stop ends the tries. Returns
// the last try's status and counts the tries in `tries`.
int ConnectRidingOutAbsence(int (*connect)(const void* context), const void* context, long& tries);
