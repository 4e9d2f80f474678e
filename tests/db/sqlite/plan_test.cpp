// How SQLite finds the rows of every statement that the table modules run. Its planner has no
// statistics to go by, so an index alone is not enough: the one chosen must compare as many
// leading columns for equality as the where clause allows.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/test_db.h"
#include "db/dialect/sqlite_text.h"
#include "db/every_operation.h"
#include "db/runtime/runtime.h"
#include "db/sqlite/functions.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

struct Closer {
  void operator()(sqlite3* handle) const { sqlite3_close(handle); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

Table Query(sqlite3* handle, const std::string& sql) {
  Table rows;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(handle) << "\n" << sql;
    return rows;
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      rows.back().emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
    }
  }
  sqlite3_finalize(statement);
  return rows;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Columns that the where clause compares for equality ("col=", not "<=", ">=", "<>"). One
// compared under an OR counts too: that can only make the check stricter.
std::set<std::string> EqualityColumns(const std::string& body) {
  std::string text = Lower(body);
  text.erase(0, text.find(" where "));
  std::set<std::string> columns;
  static const std::regex equality(R"(([a-z_]\w*)=)");
  for (std::sregex_iterator at(text.begin(), text.end(), equality), end; at != end; ++at) {
    columns.insert((*at)[1]);
  }
  return columns;
}

// The most leading columns of one of the table's indexes that are all in `columns`. The
// table as the plan names it: "T", or "SCHEMA.T" in an attached file.
size_t BestEqualityPrefix(sqlite3* handle, const std::string& table,
                          const std::set<std::string>& columns) {
  size_t dot = table.find('.');
  std::string schema = dot == std::string::npos ? "main" : table.substr(0, dot);
  std::string name = table.substr(dot + 1);  // npos + 1 == 0
  std::map<std::string, size_t> prefix;
  std::set<std::string> ended;
  std::string indexColumns = "select il.name, lower(ii.name) from pragma_index_list('" + name +
                             "','" + schema + "') il, pragma_index_info(il.name,'" + schema +
                             "') ii order by il.name, ii.seqno";
  for (const auto& row : Query(handle, indexColumns)) {
    if (ended.count(row[0]) != 0) continue;
    if (columns.count(row[1]) != 0) {
      ++prefix[row[0]];
    } else {
      ended.insert(row[0]);
    }
  }
  size_t best = 0;
  for (const auto& entry : prefix) best = std::max(best, entry.second);
  return best;
}

// "" when every step of the plan is a search through the best index, else what is wrong.
std::string PlanProblem(sqlite3* handle, const std::string& body) {
  Table plan = Query(handle, "EXPLAIN QUERY PLAN " + db::dialect::AdaptToSqlite(body).sql);
  std::string problem, details;
  bool searched = false;
  static const std::regex search(R"(SEARCH (\S+) USING .*)");
  static const std::regex equal(R"(\w=\?)");
  for (const auto& row : plan) {
    const std::string& detail = row[3];
    details += detail + "\n";
    std::smatch match;
    if (detail.rfind("SCAN", 0) == 0) problem = "a scan";
    if (!std::regex_match(detail, match, search)) continue;
    searched = true;
    auto used = static_cast<size_t>(std::distance(
        std::sregex_iterator(detail.begin(), detail.end(), equal), std::sregex_iterator()));
    size_t best = BestEqualityPrefix(handle, match[1], EqualityColumns(body));
    if (used < best) {
      problem = std::to_string(used) + " equality columns, an index takes " + std::to_string(best);
    }
  }
  if (!searched && problem.empty()) problem = "no search";
  return problem.empty() ? "" : problem + " in\n" + body + "\n" + details;
}

TEST(SqlitePlans, EveryTableModuleStatementIsALookupThroughItsBestIndex) {
  auto testDb = testing_db::TestDb::Create(testing_db::Backend::Sqlite);
  ASSERT_NE(testDb, nullptr);
  ASSERT_EQ(testDb->ConnectRuntime(), 0);
  std::vector<std::string> bodies = table_test::LookupsOfEveryOperation();
  db::SqlDisconnect();
  EXPECT_EQ(bodies.size(), table_test::kTableModuleLookups);

  std::string dir = testDb->NetService().substr(7);  // after "sqlite:"
  sqlite3* opened = nullptr;
  int rc = sqlite3_open_v2((dir + "/KTEST.db").c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
  Handle handle(opened);
  ASSERT_EQ(rc, SQLITE_OK);
  ASSERT_EQ(db::sqlite::RegisterDateFunctions(opened), SQLITE_OK);
  Query(opened, "ATTACH '" + dir + "/RVKSTAMM.db' AS RVKSTAMM");
  for (const std::string& body : bodies) {
    std::string problem = PlanProblem(opened, body);
    EXPECT_TRUE(problem.empty()) << problem;
  }
}

}  // namespace
