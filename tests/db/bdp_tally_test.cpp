// The six counts of a staffing slot's duty rows.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/run_alone.h"
#include "db/bdp.h"
#include "db/runtime/fault_seam.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;
using Counts = std::vector<int>;

class BdpTallyTest : public table_test::TableTest {
 protected:
  void TearDown() override {
    db::FaultSeam_Clear();
    TableTest::TearDown();
  }
  // A duty row of the slot (600 to 1400, BdpAsw 2), working exactly its span, without codes.
  void Insert(std::map<std::string, std::string> changes) {
    for (const char* code : {"BdpFc1", "BdpFc2", "BdpFc3"}) changes.emplace(code, "'   '");
    changes.emplace("BdpZtv", "600");
    changes.emplace("BdpZtb", "1400");
    changes.emplace("BdpAkt", std::to_string(++rows_));  // a key of its own
    InsertDutyRow(changes);
  }
  // cntUM cntExact cntPartial cntTotal cntFc1 cntFc2 cntFc3, after a tally from `entry`.
  static Counts Tally(int status, int32_t entry = 0) {
    BdpTally t{"20240315", "ESO01", "ESA01", 2, 600, 1400, entry, entry, entry, entry, entry,
               entry, entry};
    EXPECT_EQ(RunAlone(Bdp_SlotTally, t), status);
    return {t.cntUM, t.cntExact, t.cntPartial, t.cntTotal, t.cntFc1, t.cntFc2, t.cntFc3};
  }

 private:
  int rows_ = 0;
};
INSTANTIATE_TABLE_TEST(BdpTallyTest);

TEST_P(BdpTallyTest, CountsByStatusWorkingTimeAndCodes) {
  EXPECT_EQ(Tally(0, 7), (Counts{0, 0, 0, 0, 0, 0, 0}));
  Insert({{"BdpFc1", "'X  '"}});                                        // exact, fc1
  Insert({{"BdpZtv", "700"}, {"BdpFc2", "'Y  '"}});                     // partial, fc2
  Insert({{"BdpSts", "'U'"}, {"BdpFc3", "' Z '"}});                     // um, exact, fc3
  Insert({{"BdpSts", "'M'"}, {"BdpSzb", "1300"}, {"BdpZtb", "1300"}});  // um only
  Insert({{"BdpSts", "'O'"}, {"BdpFc1", "'X  '"}});                     // nothing
  Insert({{"BdpSts", "'D'"}, {"BdpZtv", "700"}});                       // nothing
  Insert({{"BdpSts", "NULL"}, {"BdpFc2", "'Y  '"}});                    // nothing
  Insert({{"BdpZtv", "NULL"}, {"BdpFc1", "NULL"}});                     // nothing
  Insert({{"BdpSts", "'U'"}, {"BdpAsw", "3"}});                         // another slot
  Insert({{"BdpSts", "'U'"}, {"BdpEsa", "'ESA02'"}});                   // another slot
  Insert({{"BdpSts", "'U'"}, {"BdpBdt", "'2024-03-16 00:00:00'"}});     // another day

  EXPECT_EQ(Tally(0), (Counts{2, 2, 1, 3, 1, 1, 1}));
}

TEST_P(BdpTallyTest, FirstFailingCountLeavesItsAndTheLaterFieldsAlone) {
  Insert({{"BdpSts", "'U'"}});
  db::FaultSeam_Arm(db::FaultOp::Execute, "BdpZtv<>", 1, -600);
  EXPECT_EQ(Tally(-600, -1), (Counts{1, 1, -1, -1, -1, -1, -1}));
}

}  // namespace
