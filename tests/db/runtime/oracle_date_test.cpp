// The format models beyond the two the statements use (those are checked on each backend in
// date_test.cpp): separators, quoted text, omitted elements, unknown elements, and the calendar.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "db/runtime/oracle_date.h"
#include "db/status.h"
#include "platform/local_time.h"

namespace {

using db::DateTime;
namespace status = db::status;

std::string Reformatted(const char* text, const char* format) {
  DateTime value;
  int rc = db::ParseOracleDate(text, format, value);
  if (rc != status::kOk) return std::to_string(rc);
  std::string out;
  EXPECT_EQ(db::FormatOracleDate(value, "yyyy-mm-dd hh24:mi:ss", out), status::kOk);
  return out;
}

TEST(OracleDate, ReadsTextByItsFormatModel) {
  struct Case {
    const char* text;
    const char* format;
    const char* expected;  // the value read, or the status
  };
  const Case cases[] = {
      {"05.01.2024 23:45", "DD.MM.YYYY Hh24:mI", "2024-01-05 23:45:00"},
      {"2024/01/05,12;30-59", "yyyy/mm/dd,hh24;mi-ss", "2024-01-05 12:30:59"},
      {"2024T0105", "yyyy\"T\"mmdd", "2024-01-05 00:00:00"},
      {"2024t0105", "yyyy\"T\"mmdd", "-1861"},  // quoted text matches exactly
      {"2024-01-05", "yyyy/mm/dd", "-1861"},    // and so do separators
      {"00010101", "yyyymmdd", "0001-01-01 00:00:00"},
      {"99991231", "yyyymmdd", "9999-12-31 00:00:00"},
      {"20000229", "yyyymmdd", "2000-02-29 00:00:00"},  // a leap year by the 400-year rule
      {"19000229", "yyyymmdd", "-1847"},
      {"20240431", "yyyymmdd", "-1847"},
      {"202413", "yyyymm", "-1843"},
      {"2024", "yyyy\"", "-1821"},  // unclosed quoted text
      {"20240105", "yyyymmdy", "-1821"},
      {"24", "hh", "-1821"},  // only the 24-hour clock is known
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Reformatted(c.text, c.format), c.expected) << c.text << " as " << c.format;
  }
}

// As in Oracle: the current year and month where the model has none, the first day, midnight.
TEST(OracleDate, ElementsMissingFromTheModelTakeTheCurrentMonth) {
  std::time_t now = std::time(nullptr);
  const std::tm local = platform::LocalTime(now);
  char month[8];
  std::strftime(month, sizeof month, "%Y-%m", &local);
  EXPECT_EQ(Reformatted("12:30", "hh24:mi"), std::string(month) + "-01 12:30:00");
  EXPECT_EQ(Reformatted("1999", "yyyy").substr(4), std::string(month).substr(4) + "-01 00:00:00");
}

TEST(OracleDate, WritesValueByItsFormatModel) {
  DateTime value{7, 3, 4, 5, 6, 9};
  std::string text;
  EXPECT_EQ(db::FormatOracleDate(value, "YYYYMMDDhh24miss", text), status::kOk);
  EXPECT_EQ(text, "00070304050609");
  EXPECT_EQ(db::FormatOracleDate(value, "dd.mm.yyyy \"um\" HH24:MI", text), status::kOk);
  EXPECT_EQ(text, "04.03.0007 um 05:06");
  EXPECT_EQ(db::FormatOracleDate(value, "yyyy-mon", text), status::kDateFormatUnknown);
}

}  // namespace
