#pragma once
// Calendar arithmetic without the C library's time zone: the run report's offset, the status
// check's age of a report and SQLite's date shifts all count days the same way.
#include <cstdint>

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
inline int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}
