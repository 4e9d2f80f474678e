// The recount of a staffing slot from the duty plan and its deviation row, on a real database.
#include <gtest/gtest.h>

#include <cstring>

#include "common/run_alone.h"
#include "db/bsm.h"
#include "db/runtime/fault_seam.h"
#include "db/status.h"
#include "db/work.h"
#include "plan/recount.h"
#include "plan_fixture.h"

namespace {

using testing_db::RunAlone;
using Lines = std::vector<std::string>;

using plan_test::DutyRow;
using plan_test::PlanDbTest;
using plan_test::SlotRow;

class RecountTest : public PlanDbTest {
 protected:
  // The staffing row of the slot as the handlers read it before a recount.
  BsmRecord ReadSlot(const char* eso, int32_t asw = 1) {
    BsmRecord slot{};
    std::strcpy(slot.BsmBdt, "20240305");
    std::strcpy(slot.BsmEso, eso);
    std::strcpy(slot.BsmEsa, "A");
    slot.BsmSzv = 600;
    slot.BsmAsw = asw;
    EXPECT_EQ(RunAlone(Bsm_PKeyRead, slot), 0);
    return slot;
  }

  // Duty rows of slot ST1 (600-1400) of every kind the counts tell apart.
  void InsertMixedDutyPlan() {
    Insert(DutyRow{.pnr = "P1", .sts = "U", .fc1 = "K  "});                 // exact, fc1, U/M
    Insert(DutyRow{.pnr = "P2", .ztv = 700, .sts = "M", .fc2 = "X  ", .fc3 = "Y  "});  // partial
    Insert(DutyRow{.pnr = "P3", .sts = "O", .fc1 = "K  "});                 // O: nowhere
    Insert(DutyRow{.pnr = "P4", .sts = "D", .fc1 = "K  "});                 // deleted: nowhere
    Insert(DutyRow{.pnr = "P5", .sts = std::nullopt, .fc1 = "K  "});        // no status: nowhere
    Insert(DutyRow{.pnr = "P6", .szb = 1200, .ztb = 1200, .sts = "U"});     // other end: U/M only
    Insert(DutyRow{.pnr = "P7", .ztv = std::nullopt, .ztb = std::nullopt, .fc1 = "Z  "});  // fc1
    Insert(DutyRow{.pnr = "P8", .fc2 = "Q  "});                             // exact, fc2
    Insert(DutyRow{.pnr = "P9", .eso = "ST2", .fc1 = "K  "});               // another slot
  }
};
INSTANTIATE_PLAN_DB_TEST(RecountTest);

TEST_P(RecountTest, CountsTheDutyPlanAndSavesTheLevel) {
  Insert(SlotRow{.eso = "ST1", .sol = 3, .min = 2, .max = 5});
  InsertMixedDutyPlan();
  BsmRecord slot = ReadSlot("ST1");

  EXPECT_EQ(Bsm_Recount(slot, nullptr), 1);
  CommitRequest();

  // Ist 2 exact + 1 partial; Htg P1, P7; Htv P2, P8; Htn P2; Kor P1, P2, P6. Net 3-2-1 = 0,
  // below the minimum 2: (0-2)*100/3 - 100.
  EXPECT_EQ(SlotState("ST1"), "3 2 2 1 3 -166");
  EXPECT_EQ(slot.BsmIst, 3);
  EXPECT_EQ(slot.BsmFkt, -166);
  EXPECT_EQ(LogLines(), std::vector<std::string>{});
}

TEST_P(RecountTest, SlotKinds3And4KeepTheirLevel) {
  for (int32_t asw : {3, 4}) {
    db->Exec("delete from Rvk725Bsm");
    db->Exec("delete from Rvk730Bdp");
    Insert(SlotRow{.eso = "ST1", .asw = asw, .sol = 3, .min = 2, .max = 5, .fkt = 77});
    Insert(DutyRow{.asw = asw, .fc1 = "K  "});
    BsmRecord slot = ReadSlot("ST1", asw);
    EXPECT_EQ(Bsm_Recount(slot, nullptr), 1) << asw;
    CommitRequest();
    EXPECT_EQ(SlotState("ST1"), "1 1 0 0 0 77") << asw;
  }
}

TEST_P(RecountTest, FailedSaveIsLoggedAndLeavesTheRow) {
  Insert(SlotRow{.eso = "ST1", .sol = 3, .min = 2, .max = 5});
  Insert(DutyRow{});
  BsmRecord slot = ReadSlot("ST1");
  db->FailOn("Rvk725Bsm", "update");

  EXPECT_EQ(Bsm_Recount(slot, nullptr), 0);
  CommitRequest();

  EXPECT_EQ(SlotState("ST1"), "9 9 9 9 9 77");
  EXPECT_EQ(slot.BsmIst, 1);  // the deviation check still sees the recounted values
  EXPECT_EQ(Deviations(), Lines{"ST1:1602"});
  EXPECT_EQ(LogLines(), Lines{"Bsm_PKeyUpd|Fehler: Update BsmSatz|-20000"});
}

// The deviation row goes out with the slot's update; a failed one is undone alone, told after
// the update, and uses up its running number.
TEST_P(RecountTest, FailedDeviationRowIsUndoneAloneAndUsesUpItsNumber) {
  Insert(SlotRow{.eso = "ST1", .sol = 3, .min = 2, .max = 5});
  Insert(SlotRow{.eso = "ST2", .sol = 3, .min = 2, .max = 5});
  Insert(DutyRow{.eso = "ST1"});
  Insert(DutyRow{.eso = "ST2"});
  db->FailOn("Rvk746Err", "insert");
  BsmRecord first = ReadSlot("ST1");
  EXPECT_EQ(Bsm_Recount(first, nullptr), 1);
  CommitRequest();
  db->FailOn("Rvk725Bsm", "update");
  BsmRecord second = ReadSlot("ST2");
  EXPECT_EQ(Bsm_Recount(second, nullptr), 0);
  CommitRequest();

  // Net 1 below the minimum 2: (1-2)*100/3 - 100.
  EXPECT_EQ(SlotState("ST1"), "1 0 0 0 0 -133");
  EXPECT_EQ(SlotState("ST2"), "9 9 9 9 9 77");
  EXPECT_EQ(Deviations(), Lines{});
  EXPECT_EQ(LogLines(), (Lines{"Err_Insert()|Fehler Insert|-20000",
                               "Bsm_PKeyUpd|Fehler: Update BsmSatz|-20000",
                               "Err_Insert()|Fehler Insert|-20000"}));
  EXPECT_EQ(RunErrRecord().ErrLfn, 2);
  EXPECT_STREQ(RunErrRecord().ErrEso, "");
}

// A fault of the counts taken for the slot's own end ends the request: it alone is told, and
// nothing is saved from counts that were never taken.
TEST_P(RecountTest, FaultOfTheCountsIsToldAndSavesNothing) {
  Insert(SlotRow{.eso = "ST1", .sol = 3, .min = 2, .max = 5});
  Insert(DutyRow{});
  BsmRecord slot = ReadSlot("ST1");
  db::FaultSeam_Arm(db::FaultOp::Execute, "BdpZtv<>", 1, db::status::kInternal);

  EXPECT_EQ(Bsm_Recount(slot, nullptr), 0);
  EXPECT_EQ(Work_Rollback(), 0);

  EXPECT_EQ(LogLines(), Lines{"Bdp_SlotTally|Fehler: Zaehlung BdpSatz|-600"});
  EXPECT_EQ(SlotState("ST1"), "9 9 9 9 9 77");
  EXPECT_EQ(Deviations(), Lines{});
  EXPECT_EQ(RunErrRecord().ErrLfn, 0);
}

TEST_P(RecountTest, DeviationRowCarriesTheRunAndTheSlot) {
  Insert(SlotRow{.eso = "ST1", .sol = 2, .min = 1, .max = 3});
  BsmRecord slot = ReadSlot("ST1");
  EXPECT_EQ(Bsm_Recount(slot, nullptr), 1);
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
  EXPECT_STREQ(RunErrRecord().ErrEso, "");  // readied for the next row
}

TEST_P(RecountTest, RunningNumberWrapsAfter9999) {
  Insert(SlotRow{.eso = "ST1", .sol = 1, .min = 0, .max = 0});
  RunErrRecord().ErrLfn = 9998;
  for (int i = 0; i < 3; ++i) {  // numbers 9999, 1, 2
    BsmRecord slot = ReadSlot("ST1");
    Bsm_Recount(slot, nullptr);
    EXPECT_EQ(RunErrRecord().ErrLfn, i) << "after row " << i;
  }
  CommitRequest();
  testing_db::Rows rows = db->Query("select ErrLfn from Rvk746Err order by ErrLfn");
  EXPECT_EQ(rows, (testing_db::Rows{{"1"}, {"2"}, {"9999"}}));
}

}  // namespace
