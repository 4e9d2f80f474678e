// A person's duty rows of one day: the walk by slot start and the write-back of one row.
#include <gtest/gtest.h>

#include <cstring>

#include "common/run_alone.h"
#include "db/bdp.h"
#include "db/runtime/runtime.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;

class BdpDayTest : public table_test::TableTest {};
INSTANTIATE_TABLE_TEST(BdpDayTest);

TEST_P(BdpDayTest, WalksTheDayBySlotStartWithNullsEmpty) {
  InsertDutyRow({{"BdpSzv", "900"}, {"BdpSzb", "NULL"}, {"BdpFc1", "NULL"}, {"BdpSts", "NULL"},
                 {"BdpTxt", "NULL"}});
  InsertDutyRow();
  InsertDutyRow({{"BdpSzv", "1300"}});
  InsertDutyRow({{"BdpSzv", "700"}, {"BdpBdt", "'2024-03-16 00:00:00'"}});
  InsertDutyRow({{"BdpSzv", "800"}, {"BdpPnr", "'P0000002'"}});
  ASSERT_EQ(RunAlone(Bdp_PnrBszDmy_Open, "P0000001", "20240315"), 0);

  BdpRecord record{};
  std::strcpy(record.BdpDat, "20200101000000");
  ASSERT_EQ(Bdp_PnrBszDmy_Read(record), 0);
  EXPECT_EQ(table_test::Interpreted(record),
            "P0000001 20240315 ESO01/ESA01 600-1400 610-1390 F1a|F2b|F3c P 2 1");
  EXPECT_EQ(std::strlen(record.BdpTxt), 60u);
  EXPECT_STREQ(record.BdpDat, "20200101000000");  // never read
  ASSERT_EQ(Bdp_PnrBszDmy_Read(record), 0);
  EXPECT_EQ(table_test::Interpreted(record),
            "P0000001 20240315 ESO01/ESA01 900-0 610-1390 |F2b|F3c  2 1");
  EXPECT_STREQ(record.BdpTxt, "");
  ASSERT_EQ(Bdp_PnrBszDmy_Read(record), 0);
  EXPECT_EQ(record.BdpSzv, 1300);

  BdpRecord last = record;
  EXPECT_EQ(Bdp_PnrBszDmy_Read(record), 1403);
  EXPECT_EQ(std::memcmp(&record, &last, sizeof record), 0);
  EXPECT_EQ(Bdp_PnrBszDmy_Close(), 0);
}

TEST_P(BdpDayTest, WriteBackChangesOnlyTheKeyedRow) {
  InsertDutyRow();
  InsertDutyRow({{"BdpAsw", "3"}});  // differs from the first only in BdpAsw
  InsertDutyRow({{"BdpAkt", "2"}});  // only in BdpAkt
  database->Exec("update Rvk730Bdp set BdpDat='2020-01-01 00:00:00'");
  testing_db::Rows before = DutyRows();
  ASSERT_EQ(RunAlone(Bdp_PnrBszDmy_Open, "P0000001", "20240315"), 0);
  BdpRecord record{};
  do {
    ASSERT_EQ(Bdp_PnrBszDmy_Read(record), 0);
  } while (record.BdpAkt != 2);
  Bdp_PnrBszDmy_Close();

  EXPECT_EQ(RunAlone(Bdp_PKeyUpd, record), 0);  // unchanged: only the time stamp moves
  std::strcpy(record.BdpFc1, "X  ");
  EXPECT_EQ(RunAlone(Bdp_PKeyUpd, record), 0);
  EXPECT_EQ(DutyRows(), before);  // no commit of its own
  ASSERT_EQ(db::SqlExecute("commit"), 0);

  testing_db::Rows after = DutyRows();
  ASSERT_EQ(after.size(), 3u);
  EXPECT_NE(after[2][0], before[2][0]);
  EXPECT_EQ(after[2][19], "X  ");  // BdpFc1
  after[2][0] = before[2][0];
  after[2][19] = before[2][19];
  EXPECT_EQ(after, before);

  record.BdpAkt = 9;
  EXPECT_EQ(RunAlone(Bdp_PKeyUpd, record), 1403);
}

}  // namespace
