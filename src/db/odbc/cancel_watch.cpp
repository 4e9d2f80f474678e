#include "db/odbc/cancel_watch.h"

#include <chrono>
#include <utility>

#include "common/run_end.h"
#include "common/stop_request.h"
#include "db/status.h"

namespace db::odbc {
namespace {

using Clock = std::chrono::steady_clock;

// How often the watcher looks at the stop clock.
constexpr std::chrono::milliseconds kTick{250};
// How long a call cancelled for the answer bound may take to return.
constexpr std::chrono::seconds kReturnAfterCancel{10};

}  // namespace

CancelWatch::CancelWatch() : thread_([this] { Watch(); }) {}

CancelWatch::~CancelWatch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void CancelWatch::SetAnswerBound(int seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  answerBound_ = std::chrono::seconds(seconds);
}

void CancelWatch::Start(SQLHSTMT handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  executing_ = handle;
  startedAt_ = Clock::now();
  cancelled_ = false;
  unanswered_ = false;
}

bool CancelWatch::TakeUnanswered() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(unanswered_, false);
}

// Waits for a cancel under way: the handle must not be reused or freed under it.
void CancelWatch::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  executing_ = SQL_NULL_HANDLE;
}

void CancelWatch::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!ending_) {
    wake_.wait_for(lock, kTick);
    if (executing_ == SQL_NULL_HANDLE) continue;
    const Clock::time_point now = Clock::now();
    if (cancelled_) {
      if (unanswered_ && now - cancelledAt_ >= kReturnAfterCancel) {
        run_end::Now(status::kEndOfFileOnChannel, false);
      }
      continue;
    }
    const bool stopping = stop_request::SecondsSince() >= stop_request::kCancelAfterSeconds;
    if (!stopping && now - startedAt_ < answerBound_) continue;
    SQLCancel(executing_);
    cancelled_ = true;
    unanswered_ = !stopping;
    cancelledAt_ = now;
  }
}

}  // namespace db::odbc
