// Staffing rows: the read of a slot by its key and the write-back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/run_alone.h"
#include "db/bsm.h"
#include "db/runtime/runtime.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;

const char* kColumns =
    "BsmBdt,BsmEso,BsmEsa,BsmSzv,BsmAsw,BsmSzb,BsmBsz,BsmJhr,BsmMon,BsmWoc,BsmJwc,BsmTag,BsmTtp,"
    "BsmSol,BsmMin,BsmMax,BsmIst,BsmPlg,BsmHtg,BsmHtv,BsmHtn,BsmKng,BsmFkt,BsmSta,BsmErf,BsmId1,"
    "BsmId2,BsmId3,BsmId4,BsmId5,BsmId6,BsmId7,BsmId8,BsmKor";

class BsmTest : public table_test::TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    for (const char* asw : {"2", "3"}) {
      database->Exec(std::string("insert into Rvk725Bsm (") + kColumns + ",BsmDat) values ("
                     "'2024-03-15 00:00:00','ESO01','ESA01',600," + asw + ",1400,'BSZ',2024,3,11,"
                     "202411,15,'TTP',4,3,6,5,'PLG01',21,22,23,24,25,26,'" + std::string(50, 'e') +
                     "',31,32,33,34,35,36,37,38,39,'2020-01-02 03:04:05')");
    }
  }
  // The key and, everywhere else, a byte that no read leaves behind.
  static BsmRecord Keyed(int32_t asw = 2, int32_t szv = 600) {
    BsmRecord record;
    std::memset(&record, 0x5a, sizeof record);
    std::strcpy(record.BsmBdt, "20240315");
    std::strcpy(record.BsmEso, "ESO01");
    std::strcpy(record.BsmEsa, "ESA01");
    record.BsmSzv = szv;
    record.BsmAsw = asw;
    return record;
  }
  testing_db::Rows SlotRows() {
    return database->Query(std::string("select ") + kColumns + " from Rvk725Bsm order by BsmAsw");
  }
  testing_db::Cell TimeOf(int asw) {
    return database->Scalar("select BsmDat from Rvk725Bsm where BsmAsw=" + std::to_string(asw));
  }
};
INSTANTIATE_TABLE_TEST(BsmTest);

TEST_P(BsmTest, ReadsTheSlotOrLeavesTheRecordAlone) {
  BsmRecord r = Keyed();
  ASSERT_EQ(RunAlone(Bsm_PKeyRead, r), 0);
  EXPECT_EQ((std::vector<int>{r.BsmSzb, r.BsmSol, r.BsmMin, r.BsmMax, r.BsmIst, r.BsmHtg,
                              r.BsmHtv, r.BsmHtn, r.BsmFkt, r.BsmAsw, r.BsmKor}),
            (std::vector<int>{1400, 4, 3, 6, 5, 21, 22, 23, 25, 2, 39}));
  EXPECT_EQ(std::string(r.BsmBsz) + " " + r.BsmDat + " " + r.BsmErf,
            "BSZ 20200102030405 " + std::string(50, 'e'));

  for (BsmRecord missing : {Keyed(4), Keyed(2, 700)}) {
    BsmRecord before = missing;
    EXPECT_EQ(RunAlone(Bsm_PKeyRead, missing), 1403);
    EXPECT_EQ(std::memcmp(&missing, &before, sizeof missing), 0);
  }

  ASSERT_EQ(db::SqlExecute("commit"), 0);  // the read locks its row until the commit
  database->Exec("update Rvk725Bsm set BsmErf=NULL, BsmPlg=NULL, BsmSol=NULL, BsmDat=NULL");
  ASSERT_EQ(RunAlone(Bsm_PKeyRead, r), 0);
  EXPECT_EQ(std::string(r.BsmErf) + r.BsmPlg + r.BsmDat + std::to_string(r.BsmSol), "0");
}

TEST_P(BsmTest, WriteBackSetsTheTimeAndNeverTheKey) {
  testing_db::Rows before = SlotRows();
  BsmRecord record = Keyed();
  ASSERT_EQ(RunAlone(Bsm_PKeyRead, record), 0);
  EXPECT_EQ(RunAlone(Bsm_PKeyUpd, record), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(SlotRows(), before);  // every column kept its value
  EXPECT_NE(TimeOf(2), "2020-01-02 03:04:05");
  EXPECT_EQ(TimeOf(3), "2020-01-02 03:04:05");

  record.BsmIst = 9;
  std::strcpy(record.BsmDat, "20000101000000");
  EXPECT_EQ(RunAlone(Bsm_PKeyUpd, record), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(database->Scalar("select BsmIst from Rvk725Bsm where BsmAsw=2"), "9");
  EXPECT_NE(TimeOf(2), "2000-01-01 00:00:00");

  for (BsmRecord other : {Keyed(4), Keyed(2, 700)}) EXPECT_EQ(RunAlone(Bsm_PKeyUpd, other), 1403);
}

}  // namespace
