// A person's duty rows over a date range: the walk, the delete of one row, the last date.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/run_alone.h"
#include "db/bdp.h"
#include "db/runtime/runtime.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;
using Dates = std::vector<std::string>;

class BdpRangeTest : public table_test::TableTest {
 protected:
  void InsertDays(std::initializer_list<const char*> days) {
    for (std::string d : days) {
      InsertDutyRow({{"BdpBdt", "'" + d.substr(0, 4) + "-" + d.substr(4, 2) + "-" +
                                    d.substr(6, 2) + " 00:00:00'"}});
    }
  }
  // The BdpBdt of each row the walk delivers; deletes each row after reading it if asked.
  Dates Walk(const char* from, const char* to, bool deleting = false) {
    Dates dates;
    EXPECT_EQ(Bdp_PnrVonBis_Open("P0000001", from, to), 0);
    BdpRecord record{};
    int rc;
    while ((rc = Bdp_PnrVonBis_Read(record)) == 0) {
      dates.push_back(record.BdpBdt);
      if (deleting) {
        EXPECT_EQ(RunAlone(Bdp_PKeyDel, record), 0);
      }
    }
    EXPECT_EQ(rc, 1403);
    Bdp_PnrVonBis_Close();
    return dates;
  }
};
INSTANTIATE_TABLE_TEST(BdpRangeTest);

TEST_P(BdpRangeTest, WalksFromThroughToDateInclusive) {
  InsertDays({"20240316", "20240314", "20240317", "20240313"});
  InsertDutyRow({{"BdpTxt", "NULL"}, {"BdpSts", "NULL"}, {"BdpOsw", "NULL"}});
  InsertDutyRow({{"BdpPnr", "'P0000002'"}});

  EXPECT_EQ(Walk("20240314", "20240316"), (Dates{"20240314", "20240315", "20240316"}));
  EXPECT_EQ(Walk("20240316", "20240314"), Dates{});

  // Every column lands in its field: written back unchanged, only the time stamp moves.
  testing_db::Rows before = DutyRows();
  ASSERT_EQ(Bdp_PnrVonBis_Open("P0000001", "20240314", "20240314"), 0);
  BdpRecord record{};
  ASSERT_EQ(Bdp_PnrVonBis_Read(record), 0);
  Bdp_PnrVonBis_Close();
  EXPECT_EQ(table_test::Interpreted(record),
            "P0000001 20240314 ESO01/ESA01 600-1400 610-1390 F1a|F2b|F3c P 2 1");
  ASSERT_EQ(RunAlone(Bdp_PKeyUpd, record), 0);
  testing_db::Rows after = DutyRows();
  after[1][0] = before[1][0];
  EXPECT_EQ(after, before);

  EXPECT_NE(Bdp_PnrVonBis_Open("P0000001", "2024-3-15", "20240316"), 0);
  EXPECT_LT(Bdp_PnrVonBis_Read(record), 0);
}

TEST_P(BdpRangeTest, DeletesStayPendingWhileTheWalkGoesOn) {
  InsertDays({"20240314", "20240315", "20240316", "20240320"});
  // A pending change of the connection, made permanent with the deletes by one commit.
  ASSERT_EQ(db::SqlExecute("update Rvk730Bdp set BdpTxt='pending' where BdpBdt=TO_DATE("
                           "'20240320','yyyymmdd')"), 0);

  BdpRecord gone{};
  ASSERT_EQ(Bdp_PnrVonBis_Open("P0000001", "20240314", "20240314"), 0);
  ASSERT_EQ(Bdp_PnrVonBis_Read(gone), 0);
  Bdp_PnrVonBis_Close();

  EXPECT_EQ(Walk("20240314", "20240316", true), (Dates{"20240314", "20240315", "20240316"}));
  EXPECT_EQ(database->Count("select count(*) from Rvk730Bdp"), 4);  // no commit of their own
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(database->Scalar("select BdpTxt from Rvk730Bdp"), "pending");  // the only row left

  EXPECT_EQ(RunAlone(Bdp_PKeyDel, gone), 1403);
}

TEST_P(BdpRangeTest, LastPlannedDate) {
  InsertDays({"20240315", "20311231", "20240316"});
  char last[9] = "unset";
  EXPECT_EQ(RunAlone(GetLastPlnDat, "P0000001", last), 0);
  EXPECT_STREQ(last, "20311231");
  std::strcpy(last, "unset");
  EXPECT_NE(RunAlone(GetLastPlnDat, "P0000009", last), 0);
  EXPECT_STREQ(last, "unset");
}

}  // namespace
