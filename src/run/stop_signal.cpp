#include "run/stop_signal.h"

#include "platform/stop_request_source.h"

void WatchStopSignals() { platform::CatchStopRequests(); }
