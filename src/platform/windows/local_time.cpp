#include "platform/local_time.h"

namespace platform {

std::tm LocalTime(std::time_t moment) {
  std::tm local{};
  localtime_s(&local, &moment);
  return local;
}

std::tm UtcTime(std::time_t moment) {
  std::tm utc{};
  gmtime_s(&utc, &moment);
  return utc;
}

}  // namespace platform
