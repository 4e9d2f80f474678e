#pragma once
#include <mutex>
#include <string>

#include "run/run_parameters.h"

// What the loop did, for the run's report.
struct RunAccount {
  enum class End { kQueueDone, kConnectionLost, kRepeatedFaults, kSignal };
  End end = End::kQueueDone;
  int status = 0;       // the status (or signal) that ended the loop early, else 0
  long done = 0;        // requests committed with their done mark
  long rolledBack = 0;  // requests undone by a fault and still pending at the end
  long skipped = 0;     // rows of the queue that could not be read
  long reconnects = 0;
};

// Works off the group's pending requests and deletes the finished ones. The account is brought
// up to date after each request under RunAccountLock(), for another thread to read.
void ProcessRequests(const RunParameters& parameters, RunAccount& account);
std::mutex& RunAccountLock();
