// How PostgreSQL finds the rows of every statement that the table modules run, as rewritten.
#include <string>
#include <vector>

#include "db/dialect/postgresql.h"
#include "db/every_operation.h"
#include "fixture.h"

namespace {

using db::dialect::AdaptToPostgres;

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
  std::vector<std::string> bodies = table_test::LookupsOfEveryOperation();
  EXPECT_EQ(bodies.size(), table_test::kTableModuleLookups);
  PgConnection native = Native();
  NativeExec(native.get(), "set enable_seqscan = off; set plan_cache_mode = force_generic_plan");
  int checked = 0;
  for (const std::string& body : bodies) {
    auto text = AdaptToPostgres(body);
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
}

}  // namespace
