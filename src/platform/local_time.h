#pragma once
// The local calendar time, read in a way that is safe while other threads read it too.
#include <ctime>

namespace platform {

std::tm LocalTime(std::time_t moment);
// The calendar time in UTC, read the same safe way.
std::tm UtcTime(std::time_t moment);

}  // namespace platform
