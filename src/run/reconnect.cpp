#include "run/reconnect.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/stop_request.h"
#include "db/connect.h"
#include "db/status.h"
#include "db/status_kind.h"
#include "log/message_log.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A standby is promoted in seconds, a crashed server restarts a little later; past this, no more.
constexpr auto kReconnectFor = std::chrono::seconds(60);
constexpr milliseconds kFirstPause{250};
constexpr milliseconds kLongestPause{5000};
constexpr milliseconds kStopCheckStep{100};

// Sleeps `pause`, or less when the deadline or a stop comes first. False when a stop came.
bool Pause(milliseconds pause, Clock::time_point deadline) {
  Clock::time_point until = std::min(Clock::now() + pause, deadline);
  while (Clock::now() < until) {
    if (stop_request::Signal() != 0) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(kStopCheckStep, until - Clock::now()));
  }
  return stop_request::Signal() == 0;
}

// Tries after each pause until `done` says the status ends the tries or the bound passes.
template <typename Try, typename Done>
int TryWithPauses(milliseconds pause, Try attempt, Done done) {
  Clock::time_point deadline = Clock::now() + kReconnectFor;
  int status = db::status::kNotConnected;
  while (pause.count() == 0 || Pause(pause, deadline)) {
    status = attempt();
    if (done(status) || Clock::now() >= deadline) break;
    pause = std::clamp(pause * 2, kFirstPause, kLongestPause);
  }
  return status;
}

}  // namespace

bool Reconnect(int lossStatus) {
  // Whatever the new server says at first: a promotion passes through several states.
  int status = TryWithPauses(kFirstPause, dbReconnect,
                             [](int rc) { return rc == db::status::kOk; });
  if (status != db::status::kOk) return false;
  LogError("ProcessRequests()", "Verbindung wiederhergestellt", lossStatus);
  return true;
}

int ConnectRidingOutAbsence(const StartupValues& values, long& tries) {
  return TryWithPauses(milliseconds{0}, [&] {
    ++tries;
    return dbConnect(values.user, values.password, values.netService, values.schema);
  }, [](int rc) { return rc == db::status::kOk || !db::status::IsWorthReconnecting(rc); });
}
