#pragma once
// Backend halves of the test database fixture, one source file each.
#include <memory>
#include <string>

#include "common/test_db.h"

namespace testing_db {

std::unique_ptr<TestDb> CreateSqliteTestDb(const std::string& schema);
// Needs the server started by scripts/pg-test-server.sh (KESTRUMEL_TEST_PG_* variables).
std::unique_ptr<TestDb> CreatePostgresTestDb(const std::string& schema);
// The same, with the program reaching it through the ODBC DSN that the script wrote
// (KESTRUMEL_TEST_ODBC_DSN).
std::unique_ptr<TestDb> CreateOdbcTestDb(const std::string& schema);

}  // namespace testing_db
