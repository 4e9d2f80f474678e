// The SQLite dialect: how the Oracle texts are rewritten, and which select-list dates are
// converted as each row is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/dialect/sqlite_text.h"

namespace {

using db::dialect::AdaptToSqlite;

TEST(SqliteDialect, RewritesSysdateAndDateArithmeticOnly) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"select a from T where d=sysdate", "select a from T where d=datetime('now','localtime')"},
      {"select SYSDATE from T", "select datetime('now','localtime') from T"},
      {"select 'sysdate', sysdate_x, t.sysdate, \"sysdate\" from T",
       "select 'sysdate', sysdate_x, t.sysdate, \"sysdate\" from T"},
      {"where BakDtm=(TO_DATE(?,'yyyymmdd')+?)",
       "where BakDtm=(DATE_PLUS_DAYS(TO_DATE(?,'yyyymmdd'), ?))"},
      {"where d = to_date( ? , 'yyyymmdd' ) - 2*?",
       "where d = DATE_PLUS_DAYS(to_date( ? , 'yyyymmdd' ), -(2*?))"},
      {"where d=TO_Date(?,'yyyymmdd')+1-(?+1)",
       "where d=DATE_PLUS_DAYS(DATE_PLUS_DAYS(TO_Date(?,'yyyymmdd'), 1), -((?+1)))"},
      {"set d=sysdate+1/24", "set d=DATE_PLUS_DAYS(datetime('now','localtime'), 1/24)"},
      {"where d=TO_DATE(TO_CHAR(sysdate,'yyyymmdd'),'yyyymmdd')",
       "where d=TO_DATE(TO_CHAR(datetime('now','localtime'),'yyyymmdd'),'yyyymmdd')"},
      {"where x='a''+1' and d=TO_DATE('1+1','yyyymmdd')",
       "where x='a''+1' and d=TO_DATE('1+1','yyyymmdd')"},
      {"where d=TO_DATE(?,'yyyymmdd') and n=1", "where d=TO_DATE(?,'yyyymmdd') and n=1"},
      {"where d in (TO_CHAR(sysdate), x) and e=TO_DATE(?,'yyyymmdd')-1",
       "where d in (TO_CHAR(datetime('now','localtime')), x) and e=DATE_PLUS_DAYS(TO_DATE(?,'yyyymmdd'), -(1))"},
      {"where d=sysdate -- sysdate+1\n -1", "where d=datetime('now','localtime') -- sysdate+1\n -1"},
      {"where d=sysdate/* + 1 */", "where d=datetime('now','localtime')/* + 1 */"},
      {"where \"sysdate\"+1=n and TO_DATE(?,'yyyymmdd')+t.n=d",
       "where \"sysdate\"+1=n and DATE_PLUS_DAYS(TO_DATE(?,'yyyymmdd'), t.n)=d"},
      // the aggregate-only select keeps its ORDER BY: SQLite takes it as it stands
      {"select max(a) from T order by b", "select max(a) from T order by b"},
      // a select's closing FOR UPDATE goes, and only that
      {"select a from T where k=? for update", "select a from T where k=?"},
      {"select sysdate from T\n  FOR\tUpdate -- locks\n",
       "select datetime('now','localtime') from T -- locks\n"},
      {"select a from T where k='for update'", "select a from T where k='for update'"},
      {"select a from T where k=? -- for update", "select a from T where k=? -- for update"},
      {"select \"for\" ,\"update\" from T", "select \"for\" ,\"update\" from T"},
      {"select a from T for update of a", "select a from T for update of a"},
      {"delete from T where k in (select k from U for update)",
       "delete from T where k in (select k from U for update)"},
  };
  for (const Case& c : cases) EXPECT_EQ(AdaptToSqlite(c.in).sql, c.out) << c.in;
}

// A whole TO_CHAR item of the select list is converted as each row is read; anywhere else,
// or with a model the runtime does not know, it stays in the statement.
TEST(SqliteDialect, DefersSelectListDateConversionsToTheRow) {
  struct Case {
    const char* in;
    const char* out;
    std::vector<int> columns;
  };
  const Case cases[] = {
      {"select a ,TO_CHAR(d,'yyyymmdd') ,b , to_char ( e , 'yyyymmddHH24MISS' )  from T where x=?",
       "select a ,d ,b , e  from T where x=?", {1, 3}},
      {"select TO_CHAR(sysdate,'yyyymmdd') from T", "select datetime('now','localtime') from T", {0}},
      {"select max(TO_CHAR(d,'yyyymmdd')) from T", "select max(TO_CHAR(d,'yyyymmdd')) from T", {}},
      {"select distinct TO_CHAR(d,'yyyymmdd') from T", "select distinct TO_CHAR(d,'yyyymmdd') from T", {}},
      {"select TO_CHAR(d,'Mon') ,TO_CHAR(d) from T", "select TO_CHAR(d,'Mon') ,TO_CHAR(d) from T", {}},
      {"select a from T where TO_CHAR(d,'yyyymmdd')=?", "select a from T where TO_CHAR(d,'yyyymmdd')=?", {}},
      {"update T set a=? where TO_CHAR(d,'yyyymmdd')=?", "update T set a=? where TO_CHAR(d,'yyyymmdd')=?", {}},
      {"select TO_CHAR(d,'yy''mm') ,TO_CHAR(d, f) from T", "select TO_CHAR(d,'yy''mm') ,TO_CHAR(d, f) from T", {}},
      {"select (select TO_CHAR(d,'yyyymmdd') from U), TO_CHAR(e,'yyyymmdd') from T",
       "select (select TO_CHAR(d,'yyyymmdd') from U), e from T", {1}},
  };
  for (const Case& c : cases) {
    db::dialect::DialectText text = AdaptToSqlite(c.in);
    EXPECT_EQ(text.sql, c.out) << c.in;
    std::vector<int> columns;
    for (const auto& conversion : text.conversions) columns.push_back(conversion.column);
    EXPECT_EQ(columns, c.columns) << c.in;
  }
  EXPECT_EQ(AdaptToSqlite("select TO_CHAR(d,'yyyymmdd') from T").conversions.at(0).format,
            "yyyymmdd");
}

}  // namespace
