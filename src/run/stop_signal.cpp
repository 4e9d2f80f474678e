#include "run/stop_signal.h"

#include "common/stop_request.h"
#include "platform/stop_request_source.h"

void WatchStopSignals() { platform::CatchStopRequests(); }

int StopSignal() { return stop_request::Signal(); }
