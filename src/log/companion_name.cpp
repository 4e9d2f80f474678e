#include "log/companion_name.h"

namespace message_log {

std::string CompanionName(const std::string& logFileName) {
  const size_t lastSeparator = logFileName.find_last_of("/\\");
  const size_t fileNameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
  const size_t firstDot = logFileName.find('.', fileNameStart);
  return logFileName.substr(0, firstDot) + ".old";
}

}  // namespace message_log
