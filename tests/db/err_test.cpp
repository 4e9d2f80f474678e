// Deviation rows: the insert, undone alone when it fails.
#include <gtest/gtest.h>

#include "common/run_alone.h"
#include "db/err.h"
#include "db/runtime/runtime.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;

class ErrTest : public table_test::TableTest {};
INSTANTIATE_TABLE_TEST(ErrTest);

TEST_P(ErrTest, InsertsTheRecordAsItStandsOrNothing) {
  ErrRecord record{"PLG01", "PLANU", 0, "", "", "", "", "", 0, 0, 0, "erf", "20240315120000",
                   "job"};
  ASSERT_EQ(RunAlone(Err_Insert, record), 0);  // as initialised: the deviation fields empty
  record = {"PLG01", "PLANU", 1, "", "ESO01", "ESA01", "BSZ", "20240315", 600, 1400, 1603, "erf",
            "20240315120000", "job"};
  ASSERT_EQ(RunAlone(Err_Insert, record), 0);
  ASSERT_EQ(RunAlone(Err_Insert, record), 0);
  ASSERT_EQ(db::SqlExecute("commit"), 0);

  using testing_db::Rows;
  Rows expected = {
      {"PLG01", "PLANU", "0", {}, {}, {}, {}, {}, "0", "0", "0", "erf", "20240315120000", "job"},
      {"PLG01", "PLANU", "1", {}, "ESO01", "ESA01", "BSZ", "2024-03-15 00:00:00", "600", "1400",
       "1603", "erf", "20240315120000", "job"}};
  expected.push_back(expected[1]);
  const std::string select =
      "select ErrPlg,ErrKng,ErrLfn,ErrPnr,ErrEso,ErrEsa,ErrKnz,ErrBdt,ErrZtv,ErrZtb,ErrFnr,ErrErf,"
      "ErrJbd,ErrJbk from Rvk746Err where ErrDat is not null order by ErrLfn";
  EXPECT_EQ(database->Query(select), expected);

  database->FailOn("Rvk746Err", "insert");
  EXPECT_LT(RunAlone(Err_Insert, record), 0);
  EXPECT_EQ(database->Query(select), expected);
}

}  // namespace
