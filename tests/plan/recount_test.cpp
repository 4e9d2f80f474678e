// The recount of a staffing slot from the duty plan, on a real database.
#include <gtest/gtest.h>

#include <cstring>

#include "db/bsm.h"
#include "plan/recount.h"
#include "plan_fixture.h"

namespace {

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
    EXPECT_EQ(Bsm_PKeyRead(slot), 0);
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

  EXPECT_EQ(Bsm_Recount(slot), 1);
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
    EXPECT_EQ(Bsm_Recount(slot), 1) << asw;
    CommitRequest();
    EXPECT_EQ(SlotState("ST1"), "1 1 0 0 0 77") << asw;
  }
}

TEST_P(RecountTest, FailedSaveIsLoggedAndLeavesTheRow) {
  Insert(SlotRow{.eso = "ST1", .sol = 3, .min = 2, .max = 5});
  Insert(DutyRow{});
  BsmRecord slot = ReadSlot("ST1");
  db->FailOn("Rvk725Bsm", "update");

  EXPECT_EQ(Bsm_Recount(slot), 0);
  CommitRequest();

  EXPECT_EQ(SlotState("ST1"), "9 9 9 9 9 77");
  EXPECT_EQ(slot.BsmIst, 1);  // the caller's check still sees the recounted values
  EXPECT_EQ(LogLines(), std::vector<std::string>{"Bsm_PKeyUpd|Fehler: Update BsmSatz|-20000"});
}

}  // namespace
