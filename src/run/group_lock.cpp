#include "run/group_lock.h"

#include <chrono>
#include <thread>

#include "common/stop_request.h"
#include "db/run_lock.h"
#include "db/status.h"
#include "platform/log_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// A run takes seconds to minutes; one going after this is stuck, and runs behind it pile up.
constexpr auto kWaitAtMost = std::chrono::minutes(10);
constexpr auto kTryEvery = std::chrono::milliseconds(250);

struct GroupLock {
  std::string name;
  bool onServer = false;
  platform::AppendOnlyFile file;  // open and locked while the file holds the lock
};

GroupLock& Lock() {
  static GroupLock lock;
  return lock;
}

// One try: kHeld, kBusy, or what ends the wait.
GroupLockResult TryOnce(GroupLock& lock) {
  if (!lock.onServer) {
    int error = lock.file.TryLock();
    if (error == 0) return GroupLockResult::kHeld;
    // A lock the system cannot give at all (no such folder, no right) keeps nothing apart,
    // and refusing the run for it would leave the queue undone: the run goes on without it.
    return platform::IsHeldByAnother(error) ? GroupLockResult::kBusy : GroupLockResult::kHeld;
  }
  bool taken = false;
  int status = Run_TryLock(lock.name.c_str(), taken);
  if (status != db::status::kOk) return GroupLockResult::kConnectionLost;
  return taken ? GroupLockResult::kHeld : GroupLockResult::kBusy;
}

GroupLockResult WaitForLock(GroupLock& lock) {
  const Clock::time_point deadline = Clock::now() + kWaitAtMost;
  for (;;) {
    GroupLockResult result = TryOnce(lock);
    if (result != GroupLockResult::kBusy) return result;
    if (stop_request::Signal() != 0) return GroupLockResult::kStopped;
    if (Clock::now() >= deadline) return GroupLockResult::kBusy;
    std::this_thread::sleep_for(kTryEvery);
  }
}

}  // namespace

GroupLockResult TakeGroupLock(const std::string& schema, const std::string& group,
                              const std::string& lockFileName) {
  GroupLock& lock = Lock();
  lock.name = "kestrumel " + schema + " " + group;
  bool taken = false;  // a failure to ask shows at the first try
  lock.onServer = Run_TryLock(lock.name.c_str(), taken) != kRunLockNotOnServer;
  if (!lock.onServer && lock.file.Open(lockFileName) != 0) return GroupLockResult::kHeld;
  return WaitForLock(lock);
}

// The likeliest holder is the run's own lost session, which a frozen server keeps (with its
// locks) until it goes on: waiting for it could hold the run for ever, so the run goes on.
GroupLockResult RetakeGroupLock() {
  GroupLock& lock = Lock();
  if (lock.onServer && TryOnce(lock) == GroupLockResult::kConnectionLost) {
    return GroupLockResult::kConnectionLost;
  }
  return GroupLockResult::kHeld;
}
