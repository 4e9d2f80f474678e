#include "run/stop_deadline.h"

#include <chrono>
#include <thread>

#include "common/run_end.h"
#include "common/stop_request.h"

namespace {

// Past the cancel (5 s) and the close of a connection that took none (10 s), with room for
// the run's own wind-down.
constexpr double kEndAfterSeconds = 14.0;
constexpr auto kLookEvery = std::chrono::milliseconds(200);

}  // namespace

void WatchStopDeadline() {
  std::thread([] {
    while (stop_request::SecondsSince() < kEndAfterSeconds) std::this_thread::sleep_for(kLookEvery);
    run_end::Now(stop_request::Signal(), true);
  }).detach();
}
