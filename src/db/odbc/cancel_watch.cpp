#include "db/odbc/cancel_watch.h"

#include <chrono>

#include "common/stop_request.h"

namespace db::odbc {
namespace {

// How often the watcher looks at the stop clock.
constexpr std::chrono::milliseconds kTick{250};

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

void CancelWatch::Start(SQLHSTMT handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  executing_ = handle;
  cancelled_ = false;
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
    if (executing_ == SQL_NULL_HANDLE || cancelled_) continue;
    if (stop_request::SecondsSince() < stop_request::kCancelAfterSeconds) continue;
    SQLCancel(executing_);
    cancelled_ = true;
  }
}

}  // namespace db::odbc
