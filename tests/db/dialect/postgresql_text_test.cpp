// The PostgreSQL dialect: how the Oracle texts are rewritten.
#include <gtest/gtest.h>

#include <string>

#include "db/dialect/postgresql.h"

namespace {

using db::dialect::AdaptToPostgres;
using db::dialect::DateModel;

TEST(PostgresDialect, RewritesPlaceholdersDatesSysdateAndAggregateOrder) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"select a from T where b=? and c='?' and \"?\"=?",
       "select a from T where b=$1 and c='?' and \"?\"=$2"},
      {"where d=TO_DATE(?,'yyyymmdd') and e=TO_Date( ? , 'YYYYMMDDhh24miss' )",
       "where d=$1::date and e=$2::timestamp"},
      {"where BakDtm=(TO_DATE(?,'yyyymmdd')+?)", "where BakDtm=($1::date+$2)"},
      {"where d=TO_DATE(?||'01','yyyymmdd') and e=TO_DATE('2024010112','yyyymmddhh24')",
       "where d=to_date($1||'01','yyyymmdd') and "
       "e=to_timestamp('2024010112','yyyymmddhh24')::timestamp"},
      {"set d=sysdate, e=SYSDATE where x.sysdate=sysdate_x and 'sysdate'=\"sysdate\"",
       "set d=date_trunc('second',statement_timestamp()::timestamp), "
       "e=date_trunc('second',statement_timestamp()::timestamp) where x.sysdate=sysdate_x and "
       "'sysdate'=\"sysdate\""},
      {"select max(TO_CHAR(BdpBdt,'yyyymmdd'))   from Rvk730Bdp where BdpPnr=? order by "
       "BdpPnr,BdpBdt",
       "select max(TO_CHAR(BdpBdt,'yyyymmdd'))   from Rvk730Bdp where BdpPnr=$1"},
      {"select count(*), min(a) from T order by b", "select count(*), min(a) from T"},
      {"select max(a), b from T group by b order by b",
       "select max(a), b from T group by b order by b"},
      {"select max(a)+1 from T order by b", "select max(a)+1 from T order by b"},
      {"select a from T where b in (select max(c) from U) order by a",
       "select a from T where b in (select max(c) from U) order by a"},
      // the ORDER BY clause goes, what follows it stays
      {"select max(a) from T where b=? order by b, c for update",
       "select max(a) from T where b=$1 for update"},
      {"select max(a) /* x */ from T order by b -- note", "select max(a) /* x */ from T"},
      // a TO_DATE is a timestamp by the hour, minute or second elements of its format
      {"where d=TO_DATE(x,'Month dd yyyy') and e=TO_DATE(x,'yyyymmdd\"h\"')",
       "where d=to_date(x,'Month dd yyyy') and e=to_date(x,'yyyymmdd\"h\"')"},
      {"where d=TO_DATE(x,'yyyymmddmi') and e=TO_DATE(x,'dd.mm.yyyy ss')",
       "where d=to_timestamp(x,'yyyymmddmi')::timestamp and "
       "e=to_timestamp(x,'dd.mm.yyyy ss')::timestamp"},
      // comments and quoted names are not rewritten
      {"select a -- sysdate ?\n from T where \"b?\"=? /* ? */",
       "select a -- sysdate ?\n from T where \"b?\"=$1 /* ? */"},
  };
  for (const Case& c : cases) EXPECT_EQ(AdaptToPostgres(c.in).sql, c.out) << c.in;
}

TEST(PostgresDialect, DateInputsAreTheParametersOfTheirTodate) {
  auto text = AdaptToPostgres(
      "update T set a=?, d=TO_DATE(?,'yyyymmdd') where s=TO_DATE(?,'yyyymmddHH24MISS') and n=?");
  EXPECT_EQ(text.parameterCount, 4);
  ASSERT_EQ(text.dateInputs.size(), 2u);
  EXPECT_EQ(text.dateInputs[0].position, 1);
  EXPECT_EQ(text.dateInputs[0].model, DateModel::Day);
  EXPECT_EQ(text.dateInputs[1].position, 2);
  EXPECT_EQ(text.dateInputs[1].model, DateModel::Stamp);
}

}  // namespace
