#include "run/reconnect.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "db/connect.h"
#include "db/runtime/status.h"
#include "log/message_log.h"
#include "run/stop_signal.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A standby takes some seconds to be promoted; a server restarted after a crash a little
// longer. Past this the database is not coming back for this run.
constexpr auto kReconnectFor = std::chrono::seconds(60);
constexpr milliseconds kFirstPause{250};
constexpr milliseconds kLongestPause{5000};
constexpr milliseconds kStopCheckStep{100};

// Sleeps `pause`, or less when the deadline or a stop comes first. False when a stop came.
bool Pause(milliseconds pause, Clock::time_point deadline) {
  Clock::time_point until = std::min(Clock::now() + pause, deadline);
  while (Clock::now() < until) {
    if (StopSignal() != 0) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(kStopCheckStep, until - Clock::now()));
  }
  return StopSignal() == 0;
}

}  // namespace

bool Reconnect(int lossStatus) {
  Clock::time_point deadline = Clock::now() + kReconnectFor;
  milliseconds pause = kFirstPause;
  while (Pause(pause, deadline)) {
    if (dbReconnect() == db::status::kOk) {
      LogError("ProcessRequests()", "Verbindung wiederhergestellt", lossStatus);
      return true;
    }
    if (Clock::now() >= deadline) break;
    pause = std::min(pause * 2, kLongestPause);
  }
  return false;
}
