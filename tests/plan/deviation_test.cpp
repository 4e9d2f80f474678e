// The deviation check, its codes and the running numbers of the deviation rows.
#include <gtest/gtest.h>

#include <cstring>

#include "plan/deviation.h"
#include "plan_fixture.h"

namespace {

using plan_test::PlanDbTest;

BsmRecord Slot(int32_t net, int32_t sol, int32_t min, int32_t max) {
  BsmRecord slot{};
  std::strcpy(slot.BsmBdt, "20240305");
  std::strcpy(slot.BsmEso, "ST1");
  std::strcpy(slot.BsmEsa, "A");
  std::strcpy(slot.BsmBsz, "F1");
  slot.BsmSzv = 600;
  slot.BsmSzb = 1400;
  slot.BsmAsw = 1;
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

class DeviationTest : public PlanDbTest {};
INSTANTIATE_PLAN_DB_TEST(DeviationTest);

TEST_P(DeviationTest, ClassifiesTheNetStaffingAgainstTheLimits) {
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
  for (const auto& c : cases) {
    db->Exec("delete from Rvk746Err");
    EXPECT_EQ(Bsm_CheckErr(c.slot, RunErrRecord()), c.code != 0 ? 1 : 0) << c.name;
    CommitRequest();
    std::vector<std::string> expected;
    if (c.code != 0) expected.push_back("ST1:" + std::to_string(c.code));
    EXPECT_EQ(Deviations(), expected) << c.name;
    ExpectDeviationFieldsClear(RunErrRecord(), c.name);
  }
  EXPECT_EQ(LogLines(), std::vector<std::string>{});
}

TEST_P(DeviationTest, RowCarriesTheRunAndTheSlot) {
  Bsm_CheckErr(Slot(0, 2, 1, 3), RunErrRecord());
  CommitRequest();
  testing_db::Rows rows = db->Query(
      "select ErrPlg, ErrKng, ErrLfn, ErrPnr, ErrEso, ErrEsa, ErrKnz, ErrBdt, ErrZtv, ErrZtb, "
      "ErrFnr, ErrErf, ErrJbd, ErrJbk from Rvk746Err");
  ASSERT_EQ(rows.size(), 1u);
  const std::vector<testing_db::Cell> expected{
      "PG001", "PLANU", "1", std::nullopt, "ST1", "A", "F1", "2024-03-05 00:00:00", "600", "1400",
      "1601", "ERFTEXT", "20240101120000", "JOBKENNUNG"};
  EXPECT_EQ(rows[0], expected);
  EXPECT_NE(db->Scalar("select ErrDat from Rvk746Err"), std::nullopt);
}

TEST_P(DeviationTest, RunningNumberWrapsAfter9999) {
  RunErrRecord().ErrLfn = 9998;
  Err_Record(Slot(0, 1, 0, 0), 1601, RunErrRecord());
  EXPECT_EQ(RunErrRecord().ErrLfn, 0);
  Err_Record(Slot(0, 1, 0, 0), 1602, RunErrRecord());
  Err_Record(Slot(0, 1, 0, 0), 1603, RunErrRecord());
  CommitRequest();
  testing_db::Rows rows = db->Query("select ErrFnr, ErrLfn from Rvk746Err order by ErrFnr");
  const testing_db::Rows expected{{"1601", "9999"}, {"1602", "1"}, {"1603", "2"}};
  EXPECT_EQ(rows, expected);
}

TEST_P(DeviationTest, FailedInsertIsLoggedAndUsesUpItsNumber) {
  db->FailOn("Rvk746Err", "insert");
  Err_Record(Slot(0, 1, 0, 0), 1601, RunErrRecord());
  CommitRequest();

  EXPECT_EQ(db->Count("select count(*) from Rvk746Err"), 0);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"Err_Insert()|Fehler Insert|-20000"});
  EXPECT_EQ(RunErrRecord().ErrLfn, 1);
  ExpectDeviationFieldsClear(RunErrRecord(), "after a failed insert");
}

}  // namespace
