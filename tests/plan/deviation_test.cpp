// The run-wide deviation record and the codes of the deviation check.
#include <gtest/gtest.h>

#include <cstring>

#include "plan/recount.h"

namespace {

BsmRecord Slot(int32_t net, int32_t sol, int32_t min, int32_t max) {
  BsmRecord slot{};
  slot.BsmIst = net;
  slot.BsmSol = sol;
  slot.BsmMin = min;
  slot.BsmMax = max;
  return slot;
}

// Only the run-wide fields and the running number may hold values between two rows.
void ExpectDeviationFieldsClear(const ErrRecord& record, const char* context) {
  EXPECT_STREQ(record.ErrPnr, "") << context;
  EXPECT_STREQ(record.ErrEso, "") << context;
  EXPECT_STREQ(record.ErrEsa, "") << context;
  EXPECT_STREQ(record.ErrKnz, "") << context;
  EXPECT_STREQ(record.ErrBdt, "") << context;
  EXPECT_EQ(record.ErrZtv, 0) << context;
  EXPECT_EQ(record.ErrZtb, 0) << context;
  EXPECT_EQ(record.ErrFnr, 0) << context;
}

TEST(ErrInit, FillsTheRunWideFieldsFromAClearedRecord) {
  const struct {
    int32_t jobType;
    const char* jobCode;
  } cases[] = {{1, "PLANG"}, {2, "PLANO"}, {3, "PLANK"}, {4, "PLANU"}, {0, ""}, {5, ""}};
  for (const auto& c : cases) {
    ErrRecord record;
    std::memset(&record, 'x', sizeof record);
    Err_Init("PG002", record, "ERFTEXT", "20240101120000", "JOBKENNUNG", c.jobType);
    EXPECT_STREQ(record.ErrKng, c.jobCode) << c.jobType;
    EXPECT_STREQ(record.ErrPlg, "PG002");
    EXPECT_STREQ(record.ErrErf, "ERFTEXT");
    EXPECT_STREQ(record.ErrJbd, "20240101120000");
    EXPECT_STREQ(record.ErrJbk, "JOBKENNUNG");
    EXPECT_EQ(record.ErrLfn, 0);
    ExpectDeviationFieldsClear(record, "after Err_Init");
  }
}

// The row each code brings is written by the recount (recount_test.cpp).
TEST(DeviationCode, ClassifiesTheNetStaffingAgainstTheLimits) {
  const struct {
    const char* name;
    BsmRecord slot;
    int32_t code;  // 0: no deviation
  } cases[] = {
      {"nobody where staff is wanted", Slot(0, 3, 0, 5), 1601},
      {"nobody, nobody wanted", Slot(0, 0, 0, 0), 0},
      {"one over a zero maximum", Slot(1, 0, 0, 0), 1605},
      {"one over target within maximum", Slot(1, 0, 0, 2), 1604},
      {"on target", Slot(4, 4, 2, 6), 0},
      {"short, above minimum", Slot(3, 4, 2, 6), 1603},
      {"short, at minimum", Slot(2, 4, 2, 6), 1603},
      {"below minimum", Slot(1, 4, 2, 6), 1602},
      {"empty, target 4", Slot(0, 4, 2, 6), 1601},
      {"over target", Slot(5, 4, 2, 6), 1604},
      {"at maximum", Slot(6, 4, 2, 6), 1604},
      {"over maximum", Slot(7, 4, 2, 6), 1605},
      {"minimum above target", Slot(3, 4, 5, 6), 1602},
      {"maximum below target", Slot(5, 4, 2, 3), 1605},
      {"more reducing rows than staff", [] {
         BsmRecord slot = Slot(0, 0, 0, 0);
         slot.BsmHtg = 1;
         return slot;
       }(), 1602},
      {"larger second reducing count ignored", [] {
         BsmRecord slot = Slot(3, 4, 2, 6);
         slot.BsmHtv = 2;
         return slot;
       }(), 1603},
  };
  for (const auto& c : cases) EXPECT_EQ(DeviationCode(c.slot), c.code) << c.name;
}

}  // namespace
