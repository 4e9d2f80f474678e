// The PostgreSQL dialect: how the Oracle texts are rewritten, and that every statement of the
// table modules, as rewritten, finds its rows through an index.
#include <string>
#include <vector>

#include "db/postgresql/dialect.h"
#include "db/runtime/precompiler.h"
#include "postgres_fixture.h"
#include "table_module_statements.h"

namespace {

using db::postgresql::AdaptToPostgres;
using db::postgresql::DateModel;

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

// Parameter types as the runtime sends them where the text alone does not fix them: the
// integer of a date shift. All others take the type of their column, as from the runtime.
std::vector<Oid> ExplainTypes(const std::string& sql, int count) {
  std::vector<Oid> types(static_cast<size_t>(count), 0);
  for (size_t at = sql.find("+$"); at != std::string::npos; at = sql.find("+$", at + 1)) {
    types[static_cast<size_t>(std::stoi(sql.substr(at + 2)) - 1)] = 23;  // int4
  }
  return types;
}

class PostgresPlanTest : public PostgresTest {};

// With sequential scans priced out and the generic plan that a prepared statement ends up
// with, a statement that cannot use an index still shows a Seq Scan.
TEST_F(PostgresPlanTest, EveryTableModuleStatementIsAnIndexScan) {
  PgConnection native = Native();
  NativeExec(native.get(), "set enable_seqscan = off; set plan_cache_mode = force_generic_plan");
  int checked = 0;
  for (const char* statement : kTableModuleStatements) {
    db::ParsedStatement parsed;
    ASSERT_EQ(db::Precompile(statement, parsed), 0) << statement;
    if (parsed.body.rfind("insert", 0) == 0) continue;  // nothing to find
    auto text = AdaptToPostgres(parsed.body);
    std::string name = "s" + std::to_string(++checked);
    std::vector<Oid> types = ExplainTypes(text.sql, text.parameterCount);
    PGresult* prepared =
        PQprepare(native.get(), name.c_str(), text.sql.c_str(), text.parameterCount, types.data());
    EXPECT_EQ(PQresultStatus(prepared), PGRES_COMMAND_OK)
        << PQresultErrorMessage(prepared) << text.sql;
    PQclear(prepared);
    std::string nulls;
    for (int i = 0; i < text.parameterCount; ++i) nulls += i == 0 ? "NULL" : ",NULL";
    std::string explain = "EXPLAIN EXECUTE " + name + (nulls.empty() ? "" : "(" + nulls + ")");
    PGresult* result = PQexec(native.get(), explain.c_str());
    std::string plan;
    for (int r = 0; r < PQntuples(result); ++r)
      plan += std::string(PQgetvalue(result, r, 0)) + "\n";
    EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << PQresultErrorMessage(result);
    PQclear(result);
    EXPECT_EQ(plan.find("Seq Scan"), std::string::npos) << text.sql << "\n" << plan;
    EXPECT_NE(plan.find("Index"), std::string::npos) << text.sql << "\n" << plan;
  }
  EXPECT_GE(checked, 14);
}

}  // namespace
