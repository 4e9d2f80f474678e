// Cursors and the movement of values between host variables and the database.
#include <cstring>
#include <string>

#include "runtime_fixture.h"

namespace {

class CursorTest : public RuntimeTest {};
INSTANTIATE_BACKEND_TEST(CursorTest);

using db::IntOut;
using db::SqlExecute;
using db::SqlFetch;
using db::SqlOpen;
using db::TextIn;
using db::TextOut;
namespace status = db::status;

constexpr const char* kTagsOfDay =
    "select TagPnr ,TagTgb  from rvk327tag where TagTag=TO_DATE(:b0,'yyyymmdd') order by TagPnr";

struct TagRow {
  char pnr[9] = "";
  char tgb[4] = "";
};

int FetchTag(db::SqlCursor& cursor, TagRow& row) {
  return SqlFetch(cursor, {TextOut(row.pnr, 9), TextOut(row.tgb, 4, true)});
}

// The rows as they stood at the open, while the same connection changes them and commits.
TEST_P(CursorTest, CursorDeliversItsOpeningRowsAcrossChangesAndCommits) {
  InsertTag("P1", "2024-01-05", "a");
  InsertTag("P2", "2024-01-05", "b");
  InsertTag("P3", "2024-01-05", "c");
  db::SqlCursor cursor;
  ASSERT_EQ(SqlOpen(cursor, kTagsOfDay, {TextIn("20240105", 11)}), 0);
  TagRow row;
  ASSERT_EQ(FetchTag(cursor, row), 0);
  EXPECT_STREQ(row.pnr, "P1");
  ASSERT_EQ(SqlExecute(kUpdateTgb, {TextIn("x", 4), TextIn("P2", 9)}), 0);
  ASSERT_EQ(SqlExecute("delete  from rvk327tag  where TagPnr=:b0", {TextIn("P3", 9)}), 0);
  ASSERT_EQ(SqlExecute(kInsertTag, {TextIn("P4", 9), TextIn("20240105", 11), TextIn("d", 4)}), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  ASSERT_EQ(FetchTag(cursor, row), 0);
  EXPECT_STREQ(row.pnr, "P2");
  EXPECT_STREQ(row.tgb, "b");
  ASSERT_EQ(FetchTag(cursor, row), 0);
  EXPECT_STREQ(row.pnr, "P3");
  EXPECT_EQ(FetchTag(cursor, row), status::kNoData);
  EXPECT_STREQ(row.pnr, "P3");  // a failed fetch writes nothing
  EXPECT_EQ(db::SqlClose(cursor), 0);
  EXPECT_LT(FetchTag(cursor, row), 0);
}

TEST_P(CursorTest, TwoCursorsAreOpenAtOnce) {
  InsertTag("P1", "2024-01-05", "a");
  InsertTag("P2", "2024-01-05", "b");
  InsertTag("P1", "2024-01-06", "c");
  db::SqlCursor first, second;
  ASSERT_EQ(SqlOpen(first, kTagsOfDay, {TextIn("20240105", 11)}), 0);
  ASSERT_EQ(SqlOpen(second, kTagsOfDay, {TextIn("20240106", 11)}), 0);
  TagRow a, b;
  ASSERT_EQ(FetchTag(first, a), 0);
  ASSERT_EQ(FetchTag(second, b), 0);
  EXPECT_STREQ(b.tgb, "c");
  EXPECT_EQ(FetchTag(second, b), status::kNoData);
  ASSERT_EQ(FetchTag(first, a), 0);
  EXPECT_STREQ(a.tgb, "b");
  EXPECT_EQ(FetchTag(first, a), status::kNoData);
}

TEST_P(CursorTest, FetchWithoutAnOpenCursorFails) {
  db::SqlCursor never, failed;
  TagRow row;
  EXPECT_LT(FetchTag(never, row), 0);
  EXPECT_LT(SqlOpen(failed, "select TagPnr ,TagXyz  from rvk327tag where TagPnr=:b0", {TextIn("P1", 9)}), 0);
  EXPECT_LT(FetchTag(failed, row), 0);
  EXPECT_LT(db::SqlClose(failed), 0);
}

// A tolerated NULL becomes "" or 0; the previous row's value never shows through.
TEST_P(CursorTest, NullWithIndicatorIsEmptyAndWithoutItFails) {
  db->Exec("insert into Rvk740Pud (PudPnr, PudPlg, PudKng, PudTxc, PudErf, PudDat) values "
           "('P1', 'G1', 1, 7, 'text', '2024-01-05 10:00:00'), "
           "('P2', 'G1', 1, NULL, NULL, '2024-01-05 11:00:00')");
  const char* select = "select PudPnr ,PudTxc ,PudErf  from Rvk740Pud where PudPlg=:b0 order by PudDat";
  char pnr[9], erf[51];
  int32_t txc = -1;
  db::SqlCursor cursor;
  ASSERT_EQ(SqlOpen(cursor, select, {TextIn("G1", 6)}), 0);
  for (const char* expected : {"P1", "P2"}) {
    ASSERT_EQ(SqlFetch(cursor, {TextOut(pnr, 9), IntOut(txc, true), TextOut(erf, 51, true)}), 0);
    EXPECT_STREQ(pnr, expected);
  }
  EXPECT_EQ(txc, 0);
  EXPECT_STREQ(erf, "");
  ASSERT_EQ(SqlOpen(cursor, select, {TextIn("G1", 6)}), 0);
  ASSERT_EQ(SqlFetch(cursor, {TextOut(pnr, 9), IntOut(txc), TextOut(erf, 51)}), 0);
  std::strcpy(pnr, "kept");
  EXPECT_EQ(SqlFetch(cursor, {TextOut(pnr, 9), IntOut(txc), TextOut(erf, 51)}), status::kNullIntoNoIndicator);
  EXPECT_STREQ(pnr, "kept");
}

// The schema holds a code to the 3 characters of its field; a narrower buffer shows the cut.
TEST_P(CursorTest, OutputTextIsCutToTheBufferLessOne) {
  InsertTag("P1", "2024-01-05", "abc");
  char out[4];
  std::memset(out, 'z', sizeof out);
  ASSERT_EQ(SqlExecute(kSelectTgb, {TextIn("P1", 9)}, {TextOut(out, 3, true)}), 0);
  EXPECT_EQ(std::string(out, 4), std::string("ab\0z", 4));
  char pnr[9];
  char tgb[3];
  db::SqlCursor cursor;
  ASSERT_EQ(SqlOpen(cursor, kTagsOfDay, {TextIn("20240105", 11)}), 0);
  ASSERT_EQ(SqlFetch(cursor, {TextOut(pnr, 9), TextOut(tgb, 3, true)}), 0);
  EXPECT_STREQ(tgb, "ab");
}

// Oracle has no empty string: an empty input is NULL, in a value as in a condition.
TEST_P(CursorTest, EmptyTextInputArrivesAsNull) {
  ASSERT_EQ(SqlExecute(kInsertTag, {TextIn("P1", 9), TextIn("20240105", 11), TextIn("", 4)}), 0);
  ASSERT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(db->Count("select count(*) from rvk327tag where TagTgb is null"), 1);
  char out[4];
  EXPECT_EQ(SqlExecute("select TagPnr into :b0  from rvk327tag where TagTgb=:b1", {TextIn("", 4)},
                       {TextOut(out, 4)}),
            status::kNoData);
  // A NULL date stays NULL, and reads back as "" with an indicator.
  ASSERT_EQ(SqlExecute("update rvk327tag  set TagHtv=TO_CHAR(TO_DATE(:b0,'yyyymmdd'),'yyyymmdd') where TagPnr=:b1",
                       {TextIn("", 11), TextIn("P1", 9)}),
            0);
  std::strcpy(out, "old");
  ASSERT_EQ(SqlExecute("select TagHtv into :b0:b1  from rvk327tag where TagPnr=:b2", {TextIn("P1", 9)},
                       {TextOut(out, 4, true)}),
            0);
  EXPECT_STREQ(out, "");
}

}  // namespace
