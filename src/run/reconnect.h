#pragma once
// After a lost connection (a server gone, a failover): connecting again with the same net
// service, so that a run pauses instead of ending.

// Tries to connect again for up to 60 s from now, waiting a little longer after each try, and
// gives up early when a stop is asked for. On success writes one entry with `lossStatus` and
// returns true: the statements are prepared anew on the new connection as they are used.
bool Reconnect(int lossStatus);
