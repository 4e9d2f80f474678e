#include "platform/local_time.h"

namespace platform {

std::tm LocalTime(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  return local;
}

std::tm UtcTime(std::time_t moment) {
  std::tm utc{};
  gmtime_r(&moment, &utc);
  return utc;
}

}  // namespace platform
