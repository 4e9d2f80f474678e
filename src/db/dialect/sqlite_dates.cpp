#include "db/dialect/sqlite_dates.h"

#include <cmath>
#include <cstdint>

#include "db/status.h"

namespace db::dialect {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, DateTime& value) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  value.year = static_cast<int>(yoe + era * 400 + (m <= 2));
  value.month = static_cast<int>(m);
  value.day = static_cast<int>(d);
}

}  // namespace

int ParseStored(std::string_view text, DateTime& value) {
  if (text.size() == 10) return ParseOracleDate(text, "yyyy-mm-dd", value);
  return ParseOracleDate(text, "yyyy-mm-dd hh24:mi:ss", value);
}

std::string FormatStored(const DateTime& value) {
  std::string text;
  FormatOracleDate(value, "yyyy-mm-dd hh24:mi:ss", text);
  return text;
}

int StoredToChar(std::string_view stored, std::string_view format, std::string& text) {
  DateTime value;
  int rc = ParseStored(stored, value);
  if (rc != status::kOk) return rc;
  return FormatOracleDate(value, format, text);
}

int AddDays(DateTime& value, double days) {
  if (!std::isfinite(days) || std::fabs(days) > 4000000.0) return status::kYearInvalid;
  int64_t seconds = DaysFromCivil(value.year, value.month, value.day) * 86400 +
                    value.hour * 3600 + value.minute * 60 + value.second;
  seconds += std::llround(days * 86400.0);
  int64_t dayNumber = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t secondOfDay = seconds - dayNumber * 86400;
  DateTime shifted;
  CivilFromDays(dayNumber, shifted);
  shifted.hour = static_cast<int>(secondOfDay / 3600);
  shifted.minute = static_cast<int>(secondOfDay / 60 % 60);
  shifted.second = static_cast<int>(secondOfDay % 60);
  if (shifted.year < 1 || shifted.year > 9999) return status::kYearInvalid;
  value = shifted;
  return status::kOk;
}

}  // namespace db::dialect
