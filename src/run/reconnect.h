#pragma once
// Connecting again after a lost connection (a server gone, a failover), or while a run's first
// connect meets a server not there yet: so that a run pauses instead of ending.
#include "config/startup_values.h"

// Tries to connect again for up to 60 s, pausing longer after each try, less after a stop. On
// success writes one entry with `lossStatus`; statements are prepared anew as they are used.
bool Reconnect(int lossStatus);

// The run's first connect, tried as a reconnect is until it succeeds or fails for a reason no
// later try cures. Returns the last try's status and counts the tries in `tries`.
int ConnectRidingOutAbsence(const StartupValues& values, long& tries);
