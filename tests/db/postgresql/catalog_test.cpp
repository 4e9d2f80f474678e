// What a check of the database reads on PostgreSQL: columns and their kinds, indexes, the
// user's privileges, statements compiled without running, and a connection that only looks.
#include <string>
#include <vector>

#include "db/catalog/catalog.h"
#include "db/status.h"
#include "fixture.h"

namespace {

namespace status = db::status;
using db::CatalogColumn;
using db::SqlExecute;
using db::TextIn;
using Kind = CatalogColumn::Kind;

class PostgresCatalogTest : public PostgresTest {};

TEST_F(PostgresCatalogTest, CatalogAsTheServerResolvesNamesAndReadOnlyRefusesChanges) {
  db->Exec("CREATE TABLE kt_cat (n numeric(8,0), m numeric(8,2), v varchar(8), d date,"
           " t timestamptz, i bigint, b boolean)");
  db->Exec("CREATE INDEX kt_cat_expr ON kt_cat (v, lower(v)) INCLUDE (d)");
  std::vector<CatalogColumn> columns;
  ASSERT_EQ(db::SqlColumns("", "KT_Cat", columns), 0) << db::SqlLastNativeError();
  std::vector<std::string> seen;
  for (const CatalogColumn& c : columns) {
    seen.push_back(c.name + " " + c.type + " " + std::to_string(static_cast<int>(c.kind)));
  }
  auto of = [](const char* named, Kind kind) {
    return std::string(named) + " " + std::to_string(static_cast<int>(kind));
  };
  EXPECT_EQ(seen, (std::vector<std::string>{
                      of("n numeric(8,0)", Kind::Integer), of("m numeric(8,2)", Kind::Other),
                      of("v character varying(8)", Kind::Text), of("d date", Kind::Date),
                      of("t timestamp with time zone", Kind::Date), of("i bigint", Kind::Integer),
                      of("b boolean", Kind::Other)}));
  std::vector<std::vector<std::string>> indexes;
  ASSERT_EQ(db::SqlIndexes(db->Schema(), "KT_CAT", indexes), 0) << db::SqlLastNativeError();
  EXPECT_EQ(indexes, (std::vector<std::vector<std::string>>{{"v", ""}}));
  ASSERT_EQ(db::SqlIndexes("", "Rvk327Tag", indexes), 0);
  EXPECT_EQ(indexes, (std::vector<std::vector<std::string>>{{"tagpnr", "tagtag"}}));
  db::TablePrivileges granted;
  ASSERT_EQ(db::SqlPrivileges("", "rvk327tag", granted), 0);
  EXPECT_TRUE(granted.select && granted.insert && granted.update && granted.remove);
  // Another schema than the session's is not searched; nor is a missing one.
  EXPECT_EQ(db::SqlColumns("RVKSTAMM", "rvk327tag", columns), status::kNoSuchTable);
  EXPECT_TRUE(columns.empty());
  EXPECT_EQ(db::SqlIndexes("NOSUCH", "rvk327tag", indexes), status::kNoSuchTable);
  EXPECT_EQ(db::SqlPrivileges("", "kt_nosuch", granted), status::kNoSuchTable);

  // Compiled, not run: the input of "date + ?" must be typed as a number to compile. A failed
  // describe inside a transaction leaves its pending work alone.
  const char* shifted =
      "select count(*)  into :b0  from rvk327tag where TagTag < TO_DATE(:b1,'yyyymmdd') + :b2";
  EXPECT_EQ(db::SqlDescribe(shifted), 0) << db::SqlLastNativeError();
  const char* update = "update rvk327tag  set TagTgb=:b0 where TagPnr=:b1";
  EXPECT_EQ(db::SqlDescribe(update), 0);
  ASSERT_EQ(SqlExecute("insert into rvk327tag (TagPnr,TagTag) values (:b0,TO_DATE(:b1,'yyyymmdd'))",
                       {TextIn("P1", 9), TextIn("20240105", 11)}),
            0);
  EXPECT_EQ(db::SqlDescribe("select TagNix  into :b0  from rvk327tag"), status::kInvalidIdentifier);
  EXPECT_NE(db::SqlLastNativeError().find("tagnix"), std::string::npos);
  EXPECT_EQ(db::SqlDescribe("select count(*)  into :b0  from kt_nosuch"), status::kNoSuchTable);
  EXPECT_EQ(SqlExecute("commit"), 0) << db::SqlLastNativeError();
  const int32_t oneDay = 1;
  int32_t count = -1;
  auto countShifted = [&] {
    return SqlExecute(shifted, {TextIn("20240201", 9), db::IntIn(oneDay)}, {db::IntOut(count)});
  };
  EXPECT_EQ(countShifted(), 0);
  EXPECT_EQ(count, 1);

  db::SqlDisconnect();
  ASSERT_EQ(db::SqlConnect(db->User().c_str(), db->Password().c_str(), db->NetService().c_str(),
                           db::Access::ReadOnly),
            0);
  std::string schema = "ALTER SESSION SET CURRENT_SCHEMA=" + db->Schema();
  ASSERT_EQ(SqlExecute(schema.c_str()), 0);
  EXPECT_EQ(db::SqlDescribe(update), 0) << "compiled, not run";
  EXPECT_EQ(db::SqlDescribe("select TagTgb  into :b0  from rvk327tag where TagPnr=:b1 for update"),
            0);
  EXPECT_EQ(SqlExecute(update, {TextIn("b", 4), TextIn("P1", 9)}), status::kDatabaseReadOnly);
  EXPECT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(countShifted(), 0);
  EXPECT_EQ(db->Scalar("select count(*) from rvk327tag where TagTgb is null"), "1");
}

}  // namespace
