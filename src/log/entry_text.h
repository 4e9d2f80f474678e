#pragma once
// The bytes of one log entry, exactly as they are appended to the file, and the name the file
// is renamed to when it is rotated.
#include <cstdint>
#include <ctime>
#include <string>

#include "log/message_log.h"

namespace message_log {

// Every entry begins with it, so a reader counts entries by it.
inline constexpr const char* kEntryStart = "\r\nSystem-Date: ";

// The entry text (header and message block), followed by the dump block and the system block
// for those of DMSG and SMSG that `entry.kind` shares with `mask`. Absent texts are empty.
std::string FormatEntryText(const LogEntry& entry, int32_t mask, const std::tm& localTime);

// In the file-name part (after the last '/' or '\\'), everything from the first '.' on becomes
// ".old"; a file-name part without '.' gets ".old" appended. "msg.dat" gives "msg.old".
std::string CompanionName(const std::string& logFileName);

}  // namespace message_log
