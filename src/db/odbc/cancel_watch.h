#pragma once
// A stop cuts a statement short: one still executing kCancelAfterSeconds after the stop is
// cancelled. The driver's call blocks the program's thread, so a watcher thread of the session
// calls SQLCancel, the one call ODBC allows on a statement busy in another thread. A server
// that takes no cancel is not waited out here: the driver offers no way to close a connection
// under a running call, so its keepalives are what end that wait.
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

  // `handle` executes (and its result is read) until Finish().
  void Start(SQLHSTMT handle);
  void Finish();

 private:
  void Watch();

  std::mutex mutex_;
  std::condition_variable wake_;
  SQLHSTMT executing_ = SQL_NULL_HANDLE;
  bool cancelled_ = false;  // the executing statement was cancelled
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
