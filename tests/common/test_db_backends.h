#pragma once
// Backend halves of the test database fixture, one source file each, registered by name.
// A new backend adds a file with its half; nothing else in the fixtures changes.
#include <memory>
#include <string>

#include "common/test_db.h"

namespace testing_db {

struct TestDbMaker {
  const char* name;  // the backend's folder name under src/db
  // Whether its test databases can be made here; false leaves its tests out.
  bool (*available)();
  // A fresh test database, or null after reporting why.
  std::unique_ptr<TestDb> (*create)(const std::string& schema);
};

// A static object of this type in a backend's half registers it (the test support is linked
// as objects, so no half is dropped).
struct TestDbRegistration {
  explicit TestDbRegistration(const TestDbMaker& maker);
};

}  // namespace testing_db
