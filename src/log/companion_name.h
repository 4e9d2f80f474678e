#pragma once
// The name the log file is renamed to when it is rotated.
#include <string>

namespace message_log {

// In the file-name part (after the last '/' or '\\'), everything from the first '.' on becomes
// ".old"; a file-name part without '.' gets ".old" appended. "msg.dat" gives "msg.old".
std::string CompanionName(const std::string& logFileName);

}  // namespace message_log
