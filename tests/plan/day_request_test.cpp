// Single-day requests end to end: day codes into the duty rows, slots recounted and checked.
#include <gtest/gtest.h>

#include <cstring>

#include "db/runtime/fault_seam.h"
#include "db/status.h"
#include "plan/day_request.h"
#include "plan_fixture.h"

namespace {

using plan_test::DutyRow;
using plan_test::PlanDbTest;
using plan_test::SlotRow;
using Lines = std::vector<std::string>;

const std::string kBlankCodes = "   |   |   ";
const std::string kUntouched = "9 9 9 9 9 77";

class DayRequestTest : public PlanDbTest {
 protected:
  void ProcessDay() {
    PudRecord request{};
    std::strcpy(request.PudPnr, "P1");
    std::strcpy(request.PudDtm, "20240305");
    request.PudTyp = 1;
    request.PudKng = 1;
    ProcessDayRequest(request);
    CommitRequest();
  }
};
INSTANTIATE_PLAN_DB_TEST(DayRequestTest);

TEST_P(DayRequestTest, DayWithoutDutyRowsTouchesNothing) {
  InsertDayCodes("P1", "20240305", "U  ", "V  ", "W  ");
  Insert(SlotRow{.date = "20240304"});
  Insert(DutyRow{.date = "20240304", .fc1 = "K  "});

  ProcessDay();

  EXPECT_EQ(DayCodesOfRows("P1"), Lines{"K  |   |   "});
  EXPECT_EQ(SlotState("ST1"), kUntouched);
  EXPECT_EQ(Deviations(), Lines{});
  EXPECT_EQ(LogLines(), Lines{});
}

TEST_P(DayRequestTest, MissingDayCodesEraseTheRowsCodes) {
  Insert(SlotRow{.sol = 1});
  Insert(DutyRow{.fc1 = "K  ", .fc2 = "X  ", .fc3 = "Y  "});

  ProcessDay();

  EXPECT_EQ(LogLines(), Lines{"Read_UrlKrk_Tgb()|Fehler: Read Rvk327Tag|1403"});
  EXPECT_EQ(DayCodesOfRows("P1"), Lines{kBlankCodes});
  EXPECT_EQ(SlotState("ST1"), "1 0 0 0 0 0");
  EXPECT_EQ(Deviations(), Lines{});
}

TEST_P(DayRequestTest, DeletedRowGetsTheCodesButNoStaffingWork) {
  InsertDayCodes("P1", "20240305", "K  ", std::nullopt, "   ");
  Insert(SlotRow{.eso = "ST1", .szv = 600});
  Insert(SlotRow{.eso = "ST2", .szv = 800, .sol = 1, .min = 1});
  Insert(DutyRow{.eso = "ST1", .szv = 600, .sts = "D"});
  // An empty status is not "D": the row gets the full staffing work (and counts nowhere).
  Insert(DutyRow{.eso = "ST2", .szv = 800, .sts = std::nullopt});

  ProcessDay();

  EXPECT_EQ(DayCodesOfRows("P1"), (Lines{"K  |   |   ", "K  |   |   "}));
  EXPECT_EQ(SlotState("ST1"), kUntouched);
  EXPECT_EQ(SlotState("ST2"), "0 0 0 0 0 -150");
  EXPECT_EQ(Deviations(), Lines{"ST2:1601"});
  EXPECT_EQ(LogLines(), Lines{});
}

TEST_P(DayRequestTest, EachRowOfASlotRecountsFromTheCurrentPlan) {
  InsertDayCodes("P1", "20240305", "K  ", "   ", "   ");
  Insert(SlotRow{.sol = 2, .min = 1, .max = 3});
  Insert(DutyRow{.akt = 1});
  Insert(DutyRow{.akt = 2});

  ProcessDay();

  // After the first row only it carries the code (net 1); after the second both do (net 0).
  EXPECT_EQ(Deviations(), (Lines{"ST1:1603", "ST1:1601"}));
  EXPECT_EQ(SlotState("ST1"), "2 2 0 0 0 -150");
  EXPECT_EQ(LogLines(), Lines{});
}

// The slot's counts go out with its read, taken for the row's end; a slot that ends elsewhere
// is counted again for its own end, which the row does not match.
TEST_P(DayRequestTest, RowEndingBeforeItsSlotIsCountedForTheSlotsEnd) {
  InsertDayCodes("P1", "20240305", "K  ", "   ", "   ");
  Insert(SlotRow{.szb = 1400});
  Insert(DutyRow{.szb = 1000, .ztb = 1000});

  ProcessDay();

  EXPECT_EQ(SlotState("ST1"), "0 0 0 0 0 -150");
  EXPECT_EQ(Deviations(), Lines{"ST1:1601"});
  EXPECT_EQ(LogLines(), Lines{});
}

TEST_P(DayRequestTest, FailedSaveStillUpdatesItsSlotAndTheNextRows) {
  InsertDayCodes("P1", "20240305", "   ", "   ", "   ");
  Insert(SlotRow{.eso = "ST1", .szv = 600, .sol = 1, .min = 1});
  Insert(SlotRow{.eso = "ST2", .szv = 800, .sol = 1, .min = 1});
  Insert(DutyRow{.eso = "ST1", .szv = 600, .fc1 = "Z  "});
  Insert(DutyRow{.eso = "ST2", .szv = 800, .fc1 = "Z  "});
  // Only the first save fails, so that the second row shows the request going on.
  db::FaultSeam_Arm(db::FaultOp::Execute, "update Rvk730Bdp", 1, db::status::kTriggerRaised);

  ProcessDay();

  EXPECT_EQ(LogLines(), Lines{"Bdp_PKeyUpd()|Fehler: Update BdpSatz(BdpBnr)|-20000"});
  EXPECT_EQ(DayCodesOfRows("P1"), (Lines{"Z  |   |   ", kBlankCodes}));
  EXPECT_EQ(SlotState("ST1"), "1 1 0 0 0 -150");  // recounted with the unsaved row
  EXPECT_EQ(SlotState("ST2"), "1 0 0 0 0 0");
  EXPECT_EQ(Deviations(), Lines{"ST1:1601"});
}

TEST_P(DayRequestTest, MissingStaffingRowIsReportedAndSkipped) {
  InsertDayCodes("P1", "20240305", "   ", "   ", "   ");
  Insert(SlotRow{.eso = "ST1", .szv = 600, .sol = 2, .min = 1, .max = 3});
  Insert(DutyRow{.eso = "ST1", .szv = 600});
  Insert(DutyRow{.eso = "ST2", .szv = 800});  // its slot has no staffing row

  ProcessDay();

  EXPECT_EQ(LogLines(), Lines{"Bsm_PKeyRead()|Fehler: Read BsmSatz|1403"});
  // No deviation for ST2 from the values left over by ST1.
  EXPECT_EQ(Deviations(), Lines{"ST1:1603"});
  EXPECT_EQ(db->Count("select count(*) from Rvk725Bsm"), 1);
}

TEST_P(DayRequestTest, FetchErrorEndsTheRequest) {
  InsertDayCodes("P1", "20240305", "   ", "   ", "   ");
  Insert(SlotRow{.eso = "ST1", .szv = 600});
  Insert(SlotRow{.eso = "ST2", .szv = 800});
  Insert(DutyRow{.eso = "ST1", .szv = 600, .fc1 = "Z  "});
  Insert(DutyRow{.eso = "ST2", .szv = 800, .fc1 = "Z  "});
  db::FaultSeam_Arm(db::FaultOp::Fetch, "BdpPnr=:b0 and BdpBdt=TO_DATE", 2, -1847);

  ProcessDay();

  EXPECT_EQ(LogLines(), Lines{"Bdp_PnrBszDmy_Read|Fehler Cursor Read|-1847"});
  EXPECT_EQ(DayCodesOfRows("P1"), (Lines{kBlankCodes, "Z  |   |   "}));
  EXPECT_EQ(SlotState("ST1"), "1 0 0 0 0 0");
  EXPECT_EQ(SlotState("ST2"), kUntouched);
}

}  // namespace
