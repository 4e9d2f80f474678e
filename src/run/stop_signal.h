#pragma once
// A stop asked for from outside (SIGTERM from a service manager, SIGINT from an operator):
// the run finishes the request at hand and then winds down instead of dying mid-request.

// Catches SIGTERM and SIGINT from now on. System calls under way go on (SA_RESTART).
void WatchStopSignals();

#include "common/stop_request.h"

// The first stop signal caught, or 0. Later signals change nothing.
inline int StopSignal() { return stop_request::Signal(); }
