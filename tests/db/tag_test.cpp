// Day codes of a person and day, and when a fetched code replaces the record's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/run_alone.h"
#include "db/tag.h"
#include "table_test.h"

namespace {

using testing_db::RunAlone;

class TagTest : public table_test::TableTest {};
INSTANTIATE_TABLE_TEST(TagTest);

TEST_P(TagTest, OnlyCodesAboveThreeBlanksReplaceTheFreshRecords) {
  struct Case {
    std::string row;  // the person and the three codes as SQL literals
    int status;
    std::vector<std::string> codes;
  };
  const Case cases[] = {
      {"'P1','A  ',NULL,'   '", 0, {"A  ", "   ", "   "}},
      {"'P2',' X ','','  '", 0, {" X ", "   ", "   "}},
      {"'P3','ABC','~  ','  a'", 0, {"ABC", "~  ", "  a"}},
      {"'P4','A  ','B  ','C  '", 1403, {"   ", "   ", "   "}},  // on another day
  };
  for (const Case& c : cases) {
    std::string day = c.status == 0 ? "15" : "16";
    database->Exec("insert into rvk327tag (TagPnr,TagTgb,TagHtv,TagHtn,TagTag) values (" + c.row +
                   ",'2024-03-" + day + " 00:00:00')");
    TagRecord record{"", "20240315", "   ", "   ", "   "};
    c.row.copy(record.TagPnr, 2, 1);
    EXPECT_EQ(RunAlone(Read_UrlKrk_Tgb, record), c.status) << c.row;
    EXPECT_EQ((std::vector<std::string>{record.TagTgb, record.TagHtv, record.TagHtn}), c.codes)
        << c.row;
  }
}

}  // namespace
