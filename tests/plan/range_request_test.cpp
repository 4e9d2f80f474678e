// Date-range requests end to end: the person's plan deleted from the request date on,
// counted slots recounted and checked.
#include <gtest/gtest.h>

#include <cstring>

#include "db/bdp.h"
#include "db/runtime/fault_seam.h"
#include "plan/range_request.h"
#include "plan_fixture.h"

namespace {

using plan_test::DutyRow;
using plan_test::PlanDbTest;
using plan_test::SlotRow;
using Lines = std::vector<std::string>;

class RangeRequestTest : public PlanDbTest {
 protected:
  void ProcessRange() {
    PudRecord request{};
    std::strcpy(request.PudPnr, "P1");
    std::strcpy(request.PudDtm, "20240305");
    request.PudTyp = 2;
    request.PudKng = 1;
    ProcessRangeRequest(request);
    CommitRequest();
  }

  // "pnr:yyyy-mm-dd" of every duty row left.
  Lines RemainingRows() {
    Lines rows;
    const char* sql = "select BdpPnr, BdpBdt from Rvk730Bdp order by BdpPnr, BdpBdt";
    for (const auto& row : db->Query(sql)) {
      rows.push_back(row[0].value_or("NULL") + ":" + row[1].value_or("NULL").substr(0, 10));
    }
    return rows;
  }
};
INSTANTIATE_PLAN_DB_TEST(RangeRequestTest);

TEST_P(RangeRequestTest, LastPlannedDateDecidesWhatIsDeleted) {
  const struct {
    const char* name;
    const char* lastDay;
    bool calendarHasNextDay;
    Lines remaining;
  } cases[] = {
      {"last day before the request", "20240304", true, {"P1:2024-03-04", "P2:2024-03-05"}},
      {"last day is the request day", "20240305", true,
       {"P1:2024-03-04", "P1:2024-03-05", "P2:2024-03-05"}},
      {"last day is the request day, next day unknown", "20240305", false,
       {"P1:2024-03-04", "P2:2024-03-05"}},
      {"last day after the request", "20240306", true, {"P1:2024-03-04", "P2:2024-03-05"}},
      {"last day after the request, next day unknown", "20240306", false,
       {"P1:2024-03-04", "P2:2024-03-05"}},
  };
  for (const auto& c : cases) {
    db->Exec("delete from Rvk730Bdp");
    db->Exec("delete from RVKSTAMM.Rvk133Bak");
    InsertCalendarDay("20240305");
    if (c.calendarHasNextDay) InsertCalendarDay("20240306");
    Insert(DutyRow{.pnr = "P2", .sts = "O"});
    for (const char* day : {"20240304", "20240305", "20240306"}) {
      if (std::strcmp(day, c.lastDay) <= 0) Insert(DutyRow{.date = day, .sts = "O"});
    }

    ProcessRange();

    EXPECT_EQ(RemainingRows(), c.remaining) << c.name;
  }
  EXPECT_EQ(LogLines(), Lines{});
}

TEST_P(RangeRequestTest, PersonWithoutDutyPlanIsReported) {
  InsertCalendarDay("20240306");
  Insert(DutyRow{.pnr = "P2", .sts = "U"});

  ProcessRange();

  EXPECT_EQ(LogLines(), Lines{"GetLastPlnDat()|Fehler: Letztes Plandatum (Pnr) ermitteln|-1405"});
  EXPECT_EQ(RemainingRows(), Lines{"P2:2024-03-05"});
}

TEST_P(RangeRequestTest, OnlyCountedRowsHaveTheirSlotRecounted) {
  InsertCalendarDay("20240306");
  Insert(SlotRow{.eso = "ST1", .szv = 600});
  Insert(SlotRow{.eso = "ST2", .szv = 800, .sol = 2, .min = 1, .max = 3});
  Insert(DutyRow{.eso = "ST1", .szv = 600, .akt = 1, .sts = "O"});
  Insert(DutyRow{.eso = "ST1", .szv = 600, .akt = 2, .sts = "D"});
  Insert(DutyRow{.eso = "ST2", .szv = 800, .sts = "U"});
  Insert(DutyRow{.pnr = "P2", .eso = "ST2", .szv = 800, .sts = "P"});
  Insert(DutyRow{.date = "20240306", .eso = "ST3", .sts = "O"});

  ProcessRange();

  EXPECT_EQ(RemainingRows(), Lines{"P2:2024-03-05"});
  EXPECT_EQ(SlotState("ST1"), "9 9 9 9 9 77");
  // Counted without the deleted U row: P2 alone, no U/M row left.
  EXPECT_EQ(SlotState("ST2"), "1 0 0 0 0 -33");
  EXPECT_EQ(Deviations(), Lines{"ST2:1603"});
  EXPECT_EQ(LogLines(), Lines{});
}

TEST_P(RangeRequestTest, FailedDeleteStillRecountsWithTheRowInPlace) {
  InsertCalendarDay("20240306");
  Insert(SlotRow{.date = "20240306", .eso = "ST2", .szv = 800, .sol = 2, .min = 1, .max = 3});
  Insert(DutyRow{.date = "20240306", .eso = "ST2", .szv = 800, .sts = "U"});
  db->FailOn("Rvk730Bdp", "delete");

  ProcessRange();

  EXPECT_EQ(LogLines(), Lines{"Bdp_PKeyDel()|Fehler: Satz loeschen|-20000"});
  EXPECT_EQ(RemainingRows(), Lines{"P1:2024-03-06"});
  EXPECT_EQ(SlotState("ST2"), "1 0 0 0 1 -33");
  EXPECT_EQ(Deviations(), Lines{"ST2:1603"});
}

TEST_P(RangeRequestTest, ReadErrorClosesTheWalkAndEndsTheRequest) {
  InsertCalendarDay("20240306");
  Insert(DutyRow{.sts = "O"});
  Insert(DutyRow{.date = "20240306", .sts = "O"});
  db::FaultSeam_Arm(db::FaultOp::Fetch, "BdpBdt>=TO_DATE", 2, -1847);

  ProcessRange();

  EXPECT_EQ(LogLines(), Lines{"Bdp_PnrVonBis_Read|Fehler Cursor Read|-1847"});
  EXPECT_EQ(RemainingRows(), Lines{"P1:2024-03-06"});
  BdpRecord row{};
  EXPECT_LT(Bdp_PnrVonBis_Read(row), 0) << "the walk was left open";
}

}  // namespace
