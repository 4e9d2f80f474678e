#include "common/test_db_backends.h"

namespace testing_db {
// Placeholder until the PostgreSQL fixture lands.
std::unique_ptr<TestDb> CreatePostgresTestDb(const std::string&) { return nullptr; }
}  // namespace testing_db
