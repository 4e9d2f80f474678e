// The request queue: which requests a run fetches, its write-back and the final delete.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/run_alone.h"
#include "db/pud.h"
#include "db/runtime/runtime.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;
using testing_db::Rows;

class PudTest : public table_test::TableTest {
 protected:
  // A type 1 request of 2024-03-15, queued on 2024-03-01 at `time`.
  void Queue(const std::string& pnr, const std::string& group, int state, const std::string& time,
             const std::string& txcAndErf = "7,'ERF'") {
    database->Exec("insert into Rvk740Pud (PudPnr,PudDtm,PudTyp,PudKng,PudPlg,PudDat,PudTxc,"
                   "PudErf) values ('" + pnr + "','2024-03-15 00:00:00',1," +
                   std::to_string(state) + ",'" + group + "','2024-03-01 " + time + "'," +
                   txcAndErf + ")");
  }
  PudRecord FetchFirst() {
    PudRecord record{};
    EXPECT_EQ(Pud_TSCur_Open("PLG01"), 0);
    EXPECT_EQ(Pud_TSCur_Read(record), 0);
    Pud_TSCur_Close();
    return record;
  }
  Rows States() { return database->Query("select PudPnr, PudKng from Rvk740Pud order by PudPnr"); }
};
INSTANTIATE_TABLE_TEST(PudTest);

std::string Text(const PudRecord& r) {
  return std::string(r.PudPnr) + " " + r.PudDtm + " " + std::to_string(r.PudTyp) + " " +
         std::to_string(r.PudKng) + " " + std::to_string(r.PudTxc) + " " + r.PudPlg + " " +
         r.PudErf + " " + r.PudDat;
}

TEST_P(PudTest, FetchesPendingRequestsOfTheGroupOldestFirst) {
  Queue("P3", "PLG01", 1, "09:00:00");
  Queue("P1", "PLG01", 1, "07:00:00", "8,'first'");
  Queue("P2", "PLG01", 1, "08:00:00", "NULL,NULL");
  Queue("P4", "PLG01", 3, "06:00:00");
  Queue("P5", "PLG01", 2, "06:00:01");
  Queue("P6", "PLG0", 1, "06:00:02");
  ASSERT_EQ(Pud_TSCur_Open("PLG01"), 0);

  PudRecord record{};
  ASSERT_EQ(Pud_TSCur_Read(record), 0);
  EXPECT_EQ(Text(record), "P1 20240315 1 1 8 PLG01 first 20240301070000");
  ASSERT_EQ(Pud_TSCur_Read(record), 0);  // NULLs come as 0 and "", not the row before's
  EXPECT_EQ(Text(record), "P2 20240315 1 1 0 PLG01  20240301080000");
  ASSERT_EQ(Pud_TSCur_Read(record), 0);
  EXPECT_STREQ(record.PudPnr, "P3");

  PudRecord last = record;
  EXPECT_EQ(Pud_TSCur_Read(record), 1403);
  EXPECT_EQ(std::memcmp(&record, &last, sizeof record), 0);
  EXPECT_EQ(Pud_TSCur_Close(), 0);
}

TEST_P(PudTest, WriteBackReachesOnlyItsOwnRowAndWaitsForTheNextCommit) {
  Queue("P1", "PLG01", 1, "07:00:00");
  Queue("P2", "PLG01", 1, "07:00:00");  // the same second
  PudRecord request = FetchFirst();
  request.PudKng = 3;

  EXPECT_EQ(RunAlone(Pud_PKeyUpd, request), 0);
  EXPECT_EQ(States(), (Rows{{"P1", "1"}, {"P2", "1"}}));
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  Rows expected = {{"P1", "1"}, {"P2", "1"}};
  expected[request.PudPnr[1] - '1'][1] = "3";
  EXPECT_EQ(States(), expected);
  EXPECT_EQ(RunAlone(Pud_PKeyUpd, request), 1403);  // only a pending row is marked done

  std::strcpy(request.PudDat, "20240301070001");
  EXPECT_EQ(RunAlone(Pud_PKeyUpd, request), 1403);
}

// Fields as odd as a time of day in the request date or NULLs still lead back to the row.
TEST_P(PudTest, WriteBackFindsRequestsWithOddFields) {
  database->Exec("insert into Rvk740Pud (PudPnr,PudDtm,PudTyp,PudKng,PudPlg,PudDat) values "
                 "('P1','2024-03-15 10:30:00',1,1,'PLG01','2024-03-01 07:00:00'),"
                 "(NULL,NULL,NULL,1,'PLG01','2024-03-01 07:00:01')");
  PudRecord request{};
  ASSERT_EQ(Pud_TSCur_Open("PLG01"), 0);
  while (Pud_TSCur_Read(request) == 0) {
    request.PudKng = 3;
    EXPECT_EQ(RunAlone(Pud_PKeyUpd, request), 0) << request.PudDat;
  }
  Pud_TSCur_Close();
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(database->Count("select count(*) from Rvk740Pud where PudKng=3"), 2);
}

// A person number longer than the 8 characters the program reads would come back cut, and
// the write-back would never find its row: the table refuses it.
TEST_P(PudTest, PersonNumberLongerThanTheProgramReadsIsRefused) {
  const char* insert =
      "insert into Rvk740Pud (PudPnr,PudPlg,PudKng,PudDat) values "
      "(:b0,'PLG01',1,TO_DATE(:b1,'yyyymmddHH24MISS'))";
  EXPECT_EQ(db::SqlExecute(insert, {db::TextIn("P2345678", 10), db::TextIn("20240301070000", 27)}), 0);
  EXPECT_EQ(db::SqlExecute(insert, {db::TextIn("P23456789", 10), db::TextIn("20240301070001", 27)}),
            db::status::kCheckViolated);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(States(), (Rows{{"P2345678", "1"}}));
}

TEST_P(PudTest, FinalDeleteRemovesOnlyTheGroupsRowsInTheState) {
  Queue("P1", "PLG01", 3, "07:00:00");
  Queue("P2", "PLG01", 1, "08:00:00");
  Queue("P3", "PLG02", 3, "09:00:00");
  EXPECT_EQ(Pud_KngDel("PLG01", 3), 0);
  EXPECT_EQ(States(), (Rows{{"P2", "1"}, {"P3", "3"}}));
}

TEST_P(PudTest, FailedDeleteKeepsThePendingWriteBack) {
  Queue("P1", "PLG01", 1, "07:00:00");
  database->FailOn("Rvk740Pud", "delete");
  PudRecord request = FetchFirst();
  request.PudKng = 3;
  ASSERT_EQ(RunAlone(Pud_PKeyUpd, request), 0);

  EXPECT_LT(Pud_KngDel("PLG01", 3), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);
  EXPECT_EQ(States(), (Rows{{"P1", "3"}}));
}

}  // namespace
