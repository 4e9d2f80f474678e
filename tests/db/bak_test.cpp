// Calendar lookups: a day some days after a date.
#include <gtest/gtest.h>

#include <string>

#include "db/bak.h"
#include "table_test.h"

namespace {

class BakTest : public table_test::TableTest {};
INSTANTIATE_TABLE_TEST(BakTest);

TEST_P(BakTest, ShiftsByTheCalendarInModeTwoOnly) {
  for (std::string d : {"2023-12-30", "2023-12-31", "2024-01-01", "2024-02-28", "2024-02-29",
                        "2024-03-01"}) {
    database->Exec("insert into RVKSTAMM.Rvk133Bak values ('" + d + " 00:00:00',1,2,3,4,5,6)");
  }
  struct Shift {
    int mode;
    const char* date;
    int days;
    int status;
    const char* result;
  };
  const Shift shifts[] = {
      {2, "20231231", 1, 0, "20240101"},  {2, "20240228", 1, 0, "20240229"},
      {2, "20240229", 1, 0, "20240301"},  {2, "20240101", 0, 0, "20240101"},
      {2, "20240101", -2, 0, "20231230"}, {2, "20240301", 1, 1403, "20240301"},
      {2, "20240102", 0, 1403, "20240102"}, {1, "20240228", 1, 0, "unset"},
      {3, "20240228", 1, 0, "unset"},
  };
  for (const Shift& shift : shifts) {
    char result[9] = "unset";
    EXPECT_EQ(Bak_Calc(shift.mode, shift.days, shift.date, result), shift.status) << shift.date;
    EXPECT_STREQ(result, shift.result) << shift.mode << ": " << shift.date << " + " << shift.days;
  }
}

}  // namespace
