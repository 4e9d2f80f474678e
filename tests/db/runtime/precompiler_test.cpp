// The precompiler: what it takes out of a statement text, what it counts and what it refuses.
#include <gtest/gtest.h>

#include <string>

#include "db/runtime/precompiler.h"
#include "db/runtime/sql_scanner.h"
#include "db/status.h"

namespace {

using Kind = db::ParsedStatement::Kind;

TEST(Precompiler, TakesOutIntoListsAndMarksHostVariables) {
  struct Case {
    const char* in;
    int status;
    Kind kind;
    const char* body;  // or the savepoint or schema name
    int into;
    int inputs;
  };
  const Case cases[] = {
      {"select a, b into :b0, :b1:b2  from T where c=:b3", 0, Kind::Query,
       "select a, b  from T where c=?", 2, 1},
      {"select a into :b0 from T where x=':b1' and \"y:b2\"=:b3 and z::int=1", 0, Kind::Query,
       "select a  from T where x=':b1' and \"y:b2\"=? and z::int=1", 1, 1},
      {"select a from T where x in (select b into c from U)", 0, Kind::Query,
       "select a from T where x in (select b into c from U)", 0, 0},
      {"select a /* into :b0 */ into :b1 from T -- :b2", 0, Kind::Query,
       "select a /* into :b0 */  from T -- :b2", 1, 0},
      {"  update T set a=:b0 where d=TO_DATE(:b1,'yyyymmdd')+1", 0, Kind::Modify,
       "update T set a=? where d=TO_DATE(?,'yyyymmdd')+1", 0, 2},
      {"insert into T (a) values (:b0)", 0, Kind::Modify, "insert into T (a) values (?)", 0, 1},
      {"savepoint Sp_1", 0, Kind::Savepoint, "Sp_1", 0, 0},
      {"rollback  to Sp_1 -- undo", 0, Kind::RollbackTo, "Sp_1", 0, 0},
      {"rollback", 0, Kind::Rollback, "", 0, 0},
      {"commit", 0, Kind::Commit, "", 0, 0},
      {"ALTER SESSION SET CURRENT_SCHEMA = Plg2", 0, Kind::SetSchema, "Plg2", 0, 0},
      {"alter session set current_schema=\"x\"", -911, Kind::SetSchema, "", 0, 0},
      {"savepoint a b", -911, Kind::Savepoint, "", 0, 0},
      {"commit work", -911, Kind::Commit, "", 0, 0},
      {"merge into T", -911, Kind::Query, "", 0, 0},
      {"-- only a comment", -911, Kind::Query, "", 0, 0},
      // days added to a column compared with a date: refused, not run on the year
      {"select a from T where d+1=TO_DATE(:b0,'yyyymmdd')", -932, Kind::Query, "", 0, 0},
      {"delete from T where TO_DATE(:b0,'yyyymmdd') >= t.d - :b1", -932, Kind::Modify, "", 0, 0},
      {"update T set a=1 where sysdate<d + 2", -932, Kind::Modify, "", 0, 0},
      // integer arithmetic, and days added to a date the text shows, stay
      {"update T set n=n+1 where m-1=:b0 and d=sysdate-1", 0, Kind::Modify,
       "update T set n=n+1 where m-1=? and d=sysdate-1", 0, 1},
      {"select a from T where d=TO_DATE(:b0,'yyyymmdd')+n and 2*d+1=sysdate", 0, Kind::Query,
       "select a from T where d=TO_DATE(?,'yyyymmdd')+n and 2*d+1=sysdate", 0, 1},
  };
  for (const Case& c : cases) {
    db::ParsedStatement parsed;
    ASSERT_EQ(db::Precompile(c.in, parsed), c.status) << c.in;
    if (c.status != 0) continue;
    EXPECT_EQ(parsed.kind, c.kind) << c.in;
    bool named = c.kind != Kind::Query && c.kind != Kind::Modify;
    EXPECT_EQ(named ? parsed.name : parsed.body, c.body) << c.in;
    EXPECT_EQ(parsed.intoCount, c.into) << c.in;
    EXPECT_EQ(parsed.inputCount, c.inputs) << c.in;
  }
}

TEST(SqlTokens, CoverTheTextAndTellQuotesCommentsAndVariablesApart) {
  const std::string text = "select 'it''s' \"a\"\"b\",1.5e3::x/*c*/ :b0:b1 ?<>-- d\n.5";
  std::string kinds;
  std::string joined;
  for (const db::SqlToken& token : db::TokenizeSql(text)) {
    kinds += "WLQNHMSCB"[static_cast<int>(token.kind)];
    joined += token.text;
  }
  EXPECT_EQ(joined, text);
  EXPECT_EQ(kinds, "WBLBQSNSWCBHHBMSCBN");
}

}  // namespace
