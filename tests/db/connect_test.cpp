// dbConnect: connect, then switch to the configured schema; nothing is built from a schema
// name that is not a plain identifier, and nothing is cut from a long name.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/backend_test.h"
#include "common/test_db.h"
#include "db/connect.h"
#include "db/runtime/runtime.h"

namespace {

namespace status = db::status;

class ConnectTest : public ::testing::TestWithParam<testing_db::Backend> {
 protected:
  void SetUp() override {
    database = testing_db::TestDb::Create(GetParam());
    ASSERT_NE(database, nullptr);
  }
  void TearDown() override { db::SqlDisconnect(); }
  int Connect(const std::string& schema) {
    return dbConnect(database->User().c_str(), database->Password().c_str(),
                     database->NetService().c_str(), schema.c_str());
  }
  // A statement on an unqualified table works only once the schema is switched.
  int CountTags() {
    int32_t count = -1;
    return db::SqlExecute("select count(*)  into :b0  from rvk327tag", {}, {db::IntOut(count)});
  }
  std::unique_ptr<testing_db::TestDb> database;
};

TEST_P(ConnectTest, ConnectsAndSwitchesToTheSchema) {
  ASSERT_EQ(Connect(database->Schema()), 0);
  EXPECT_EQ(CountTags(), 0);
}

TEST_P(ConnectTest, ReturnsTheFirstFailure) {
  EXPECT_EQ(dbConnect(database->User().c_str(), "", database->NetService().c_str(),
                      database->Schema().c_str()),
            status::kPasswordMissing);
  EXPECT_EQ(Connect("NOSUCHSCHEMA"), status::kSchemaUnknown);
}

TEST_P(ConnectTest, SchemaThatIsNoPlainNameIsRefusedUnused) {
  for (const std::string& schema :
       {database->Schema() + " ", database->Schema() + ";drop table rvk327tag", std::string(),
        std::string(31, 'K'), "1" + database->Schema()}) {
    EXPECT_NE(Connect(schema), 0) << "'" << schema << "'";
    EXPECT_NE(CountTags(), 0) << "'" << schema << "'";  // connected, but no schema switched to
  }
  EXPECT_EQ(database->Count("select count(*) from rvk327tag"), 0);
}

// The old connect text was cut at 99 characters; the runtime takes the parts whole.
TEST(ConnectSqliteTest, LongServiceNameIsNotCut) {
  auto database = testing_db::TestDb::Create(testing_db::Backend::Sqlite);
  ASSERT_NE(database, nullptr);
  std::string directory = database->NetService().substr(std::string("sqlite:").size());
  std::string longPath = directory + "/" + std::string(150, 'd');
#ifdef _WIN32
  GTEST_SKIP() << "MinGW's C++ library makes no directory links";
#endif
  std::filesystem::create_directory_symlink(directory, longPath);
  EXPECT_EQ(dbConnect(database->User().c_str(), database->Password().c_str(),
                      ("sqlite:" + longPath).c_str(), database->Schema().c_str()),
            0);
  db::SqlDisconnect();
}

INSTANTIATE_BACKEND_TEST(ConnectTest);

}  // namespace
