#pragma once
// A statement still executing kCancelAfterSeconds after a stop, or unanswered within the answer
// bound (a frozen server whose TCP the kernel still acknowledges), is cancelled by a watcher
// thread: SQLCancel is the one call ODBC allows on a statement busy in another thread. ODBC
// cannot close a connection under a running call, so a call cancelled for the bound that has
// not returned 10 s later ends the run (run_end.h); a stop has its own deadline.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/odbc_api.h"

namespace db::odbc {

class CancelWatch {
 public:
  CancelWatch();
  ~CancelWatch();
  CancelWatch(const CancelWatch&) = delete;
  CancelWatch& operator=(const CancelWatch&) = delete;

  // How long a call may go without an answer; from the connect on.
  void SetAnswerBound(int seconds);
  // `handle` executes (and its result is read) until Finish().
  void Start(SQLHSTMT handle);
  void Finish();
  // Whether the last call was cancelled for the answer bound; asking forgets it.
  bool TakeUnanswered();

 private:
  void Watch();

  std::mutex mutex_;
  std::condition_variable wake_;
  SQLHSTMT executing_ = SQL_NULL_HANDLE;
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::time_point cancelledAt_;
  std::chrono::seconds answerBound_{120};
  bool cancelled_ = false;  // the executing statement was cancelled
  bool unanswered_ = false;  // ... for the answer bound
  bool ending_ = false;
  std::thread thread_;  // last: started once the rest is set up
};

// Marks a statement as executing for the life of the scope.
class Executing {
 public:
  Executing(CancelWatch& watch, SQLHSTMT handle) : watch_(watch) { watch_.Start(handle); }
  ~Executing() { watch_.Finish(); }
  Executing(const Executing&) = delete;
  Executing& operator=(const Executing&) = delete;

 private:
  CancelWatch& watch_;
};

}  // namespace db::odbc
