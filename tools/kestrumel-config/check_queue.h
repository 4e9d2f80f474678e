#pragma once
// The checks of the request queue and of the calendar its pending requests need.
#include <string>
#include <vector>

#include "kestrumel-config/check_report.h"

struct PendingRequest {
  std::string group;
  std::string day;    // yyyymmdd
  std::string stamp;  // yyyymmddHH24MISS
};

struct GroupCount {
  std::string group;
  int pending = 0;
  int done = 0;        // done, not yet deleted
  std::string oldest;  // time stamp of the oldest readable pending request
};

// What the check reads of the queue, for `planGroup` or, when empty, every group.
struct QueueState {
  std::vector<PendingRequest> readable;  // in the order the program reads them
  std::vector<std::string> unreadable;   // each row by its key, with what is wrong
  std::vector<GroupCount> groups;
  int status = 0;                        // of a read that failed as a whole
};

QueueState ReadQueue(const std::string& planGroup);
CheckResult CheckQueue(const QueueState& queue);
CheckResult CheckCalendar(const QueueState& queue);
