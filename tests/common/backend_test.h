#pragma once
// The fixture plumbing of the database suites, written once: a suite derives from
// BackendTest and is instantiated with INSTANTIATE_BACKEND_TEST, which runs it on every
// backend of TestBackends() under the name "Suite.Test/<backend>".
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/test_db.h"

namespace testing_db {

std::string BackendTestName(const ::testing::TestParamInfo<Backend>& info);

// A fresh test database on the test's backend with the runtime of this process connected to
// it; at the end the fault seam is cleared and the runtime disconnected.
class BackendTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override { Open(GetParam()); }
  void TearDown() override;
  // For suites of one backend only, which call it from their own SetUp.
  void Open(const Backend& backend);

  std::unique_ptr<TestDb> db;
};

}  // namespace testing_db

#define INSTANTIATE_BACKEND_TEST(Suite)                                                     \
  INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::ValuesIn(testing_db::TestBackends()), \
                           testing_db::BackendTestName)
