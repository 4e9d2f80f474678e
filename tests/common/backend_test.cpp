#include "common/backend_test.h"

#include "db/runtime/backend.h"
#include "db/runtime/fault_seam.h"
#include "db/runtime/runtime.h"

namespace testing_db {

std::string BackendTestName(const ::testing::TestParamInfo<Backend>& info) {
  return BackendName(info.param);
}

void BackendTest::Open(const Backend& backend) {
  db = TestDb::Create(backend);
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(db->ConnectRuntime(), 0) << db::SqlLastNativeError();
}

void BackendTest::TearDown() {
  db::FaultSeam_Clear();
  db::SqlDisconnect();
}

}  // namespace testing_db
