// Dates as the statements convert them: TO_DATE, TO_CHAR, sysdate and date plus days.
#include <ctime>
#include <string>

#include "runtime_fixture.h"

namespace {

class DateTest : public RuntimeTest {};
INSTANTIATE_BACKEND_TEST(DateTest);

using db::IntIn;
using db::SqlExecute;
using db::TextIn;
using db::TextOut;
namespace status = db::status;

constexpr const char* kInsertRequest =
    "insert into Rvk740Pud (PudPnr,PudDtm,PudPlg,PudKng,PudDat) values "
    "(:b0,TO_DATE(:b1,'yyyymmdd'),:b2,1,TO_DATE(:b3,'yyyymmddHH24MISS'))";

TEST_P(DateTest, DatesAreStoredAsLocalTimeTextAndFormattedBack) {
  ASSERT_EQ(SqlExecute(kInsertRequest, {TextIn("P1", 9), TextIn("20240105", 11), TextIn("G1", 6),
                                        TextIn("20241231234559", 27)}),
            0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(db->Scalar("select PudDtm from Rvk740Pud"), "2024-01-05 00:00:00");
  EXPECT_EQ(db->Scalar("select PudDat from Rvk740Pud"), "2024-12-31 23:45:59");
  char day[11], stamp[27];
  ASSERT_EQ(SqlExecute("select TO_CHAR(PudDtm,'yyyymmdd') ,to_char(PudDat,'YYYYMMDDhh24miss') into :b0,:b1  "
                       "from Rvk740Pud where PudDat=TO_Date(:b2,'yyyymmddHH24MISS')",
                       {TextIn("20241231234559", 27)}, {TextOut(day, 11), TextOut(stamp, 27)}),
            0);
  EXPECT_STREQ(day, "20240105");
  EXPECT_STREQ(stamp, "20241231234559");
}

TEST_P(DateTest, SysdateIsTheLocalTimeNow) {
  ASSERT_EQ(SqlExecute("insert into Rvk746Err (ErrPlg,ErrDat) values (:b0,sysdate)", {TextIn("G1", 6)}), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  testing_db::Cell stored = db->Scalar("select ErrDat from Rvk746Err");
  ASSERT_TRUE(stored.has_value());
  std::tm local{};
  ASSERT_EQ(std::sscanf(stored->c_str(), "%d-%d-%d %d:%d:%d", &local.tm_year, &local.tm_mon,
                        &local.tm_mday, &local.tm_hour, &local.tm_min, &local.tm_sec),
            6);
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;
  EXPECT_LT(std::abs(std::difftime(std::time(nullptr), std::mktime(&local))), 10.0) << *stored;
}

// The calendar lookup: a date plus a number of days, across month and year ends.
TEST_P(DateTest, DatePlusDaysFindsTheShiftedCalendarDay) {
  for (const char* day : {"2023-12-31", "2024-01-01", "2024-02-28", "2024-02-29", "2024-03-01"}) {
    db->Exec(std::string("insert into RVKSTAMM.Rvk133Bak (BakDtm, BakJhr) values ('") + day +
             " 00:00:00', " + std::string(day, 4) + ")");
  }
  const char* lookup =
      "select TO_CHAR(BakDtm,'yyyymmdd') ,BakJhr into :b0,:b1  from RVKSTAMM.Rvk133Bak "
      "where BakDtm=(TO_DATE(:b2,'yyyymmdd')+:b3)";
  struct Case {
    const char* from;
    int32_t days;
    int expected;
    const char* found;
  };
  const Case cases[] = {
      {"20231231", 1, 0, "20240101"},  {"20240101", -1, 0, "20231231"},
      {"20240228", 1, 0, "20240229"},  {"20240229", 1, 0, "20240301"},
      {"20240101", 0, 0, "20240101"},  {"20231231", 61, 0, "20240301"},
      {"20240301", 1, status::kNoData, "-"},
  };
  for (const Case& c : cases) {
    char found[11] = "-";
    int32_t year = 0;
    EXPECT_EQ(SqlExecute(lookup, {TextIn(c.from, 11), IntIn(c.days)}, {TextOut(found, 11), db::IntOut(year)}),
              c.expected)
        << c.from << " + " << c.days;
    EXPECT_STREQ(found, c.found) << c.from << " + " << c.days;
  }
}

TEST_P(DateTest, InvalidDateTextHasTheStatusOfItsFault) {
  struct Case {
    const char* text;
    const char* format;
    int expected;
  };
  const Case cases[] = {
      {"20240105", "yyyymmdd", 0},
      {"20240229", "yyyymmdd", 0},
      {"20240105235959", "yyyymmddHH24MISS", 0},
      {"2024015", "yyyymmdd", status::kDateFormatMismatch},
      {"202401055", "yyyymmdd", status::kDateFormatMismatch},
      {"2024a105", "yyyymmdd", status::kDateFormatMismatch},
      {"2024-01-05", "yyyymmdd", status::kDateFormatMismatch},
      {"20240105", "yyyymmddHH24MISS", status::kDateFormatMismatch},
      {"00000105", "yyyymmdd", status::kYearInvalid},
      {"20240005", "yyyymmdd", status::kMonthInvalid},
      {"20241305", "yyyymmdd", status::kMonthInvalid},
      {"20240100", "yyyymmdd", status::kDayOfMonthInvalid},
      {"20240132", "yyyymmdd", status::kDayOfMonthInvalid},
      {"20240230", "yyyymmdd", status::kDayOfMonthInvalid},
      {"20230229", "yyyymmdd", status::kDayOfMonthInvalid},
      {"20240105240000", "yyyymmddHH24MISS", status::kHourInvalid},
      {"20240105236000", "yyyymmddHH24MISS", status::kMinuteInvalid},
      {"20240105235960", "yyyymmddHH24MISS", status::kSecondInvalid},
  };
  int32_t number = 0;
  for (const Case& c : cases) {
    std::string text = std::string("insert into rvk327tag (TagPnr,TagTag) values (:b0,TO_DATE(:b1,'") +
                       c.format + "'))";
    std::string pnr = "P" + std::to_string(number++);
    EXPECT_EQ(SqlExecute(text.c_str(), {TextIn(pnr.c_str(), 9), TextIn(c.text, 27)}), c.expected)
        << c.text << " as " << c.format;
  }
}

// The latest date of a person: an aggregate with an order by, NULL when there is no row.
TEST_P(DateTest, MaximumOfFormattedDates) {
  db->Exec("insert into Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv) values "
           "('P1', '2024-01-05 00:00:00', 'E', 'A', 600), ('P1', '2031-12-01 00:00:00', 'E', 'A', 600), "
           "('P2', '2040-01-01 00:00:00', 'E', 'A', 600)");
  const char* last =
      "select max(TO_CHAR(BdpBdt,'yyyymmdd')) into :b0  from Rvk730Bdp where BdpPnr=:b1 order by BdpPnr,BdpBdt";
  char date[11] = "kept";
  ASSERT_EQ(SqlExecute(last, {TextIn("P1", 9)}, {TextOut(date, 11)}), 0);
  EXPECT_STREQ(date, "20311201");
  EXPECT_EQ(SqlExecute(last, {TextIn("P9", 9)}, {TextOut(date, 11)}), status::kNullIntoNoIndicator);
  EXPECT_STREQ(date, "20311201");
}

}  // namespace
