#include "common/test_db.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "common/program_run.h"
#include "common/temp_path.h"
#include "common/test_db_backends.h"
#include "db/runtime/runtime.h"

namespace testing_db {
namespace {

// Ordered by name, not by the order of static initialisation.
std::map<std::string, TestDbMaker>& Makers() {
  static std::map<std::string, TestDbMaker> makers;
  return makers;
}

}  // namespace

TestDbRegistration::TestDbRegistration(const TestDbMaker& maker) { Makers()[maker.name] = maker; }

std::string BackendName(const Backend& backend) { return backend.name; }

std::vector<Backend> TestBackends() {
  std::vector<Backend> backends;
  for (const auto& [name, maker] : Makers()) {
    if (maker.available()) backends.push_back(Backend{name});
  }
  return backends;
}

std::unique_ptr<TestDb> TestDb::Create(const Backend& backend, const std::string& schema) {
  auto maker = Makers().find(backend.name);
  std::unique_ptr<TestDb> db = maker != Makers().end() ? maker->second.create(schema) : nullptr;
  if (db == nullptr) ADD_FAILURE() << "no " << backend.name << " test database";
  return db;
}

Cell TestDb::Scalar(const std::string& sql) {
  Rows rows = Query(sql);
  if (rows.empty() || rows.front().empty()) return std::string("<none>");
  return rows.front().front();
}

long TestDb::Count(const std::string& sql) {
  Cell value = Scalar(sql);
  if (!value) {
    ADD_FAILURE() << "count is NULL: " << sql;
    return -1;
  }
  char* end = nullptr;
  long count = std::strtol(value->c_str(), &end, 10);
  if (end == value->c_str() || *end != '\0') {
    ADD_FAILURE() << "not a count: " << *value << " from " << sql;
    return -1;
  }
  return count;
}

int TestDb::ConnectRuntime() { return ConnectRuntimeAs(ConnectArguments()); }

std::vector<std::string> TestDb::ConnectArguments() const {
  return {User(), Password(), NetService(), Schema()};
}

int ConnectRuntimeAs(const std::vector<std::string>& connectArguments) {
  if (connectArguments.size() < 4) return -1;
  const std::string& user = connectArguments[0];
  const std::string& password = connectArguments[1];
  const std::string& netService = connectArguments[2];
  int rc = db::SqlConnect(user.c_str(), password.c_str(), netService.c_str());
  if (rc != 0) return rc;
  std::string text = "ALTER SESSION SET CURRENT_SCHEMA=" + connectArguments[3];
  return db::SqlExecute(text.c_str());
}

void TestDb::WriteConfig(const std::string& path) const {
  // No newline: a tool reading a line or all of stdin gets the same.
  testing_run::ProgramResult result = testing_run::RunExecutable(
      testing_run::ConfigToolPath(),
      {"write", path, "--net", NetService(), "--schema", Schema(), "--login", User()},
      testing_files::TextOf(std::filesystem::current_path()), Password());
  if (result.exitStatus != 0) {
    ADD_FAILURE() << "configuration tool failed (" << result.exitStatus << ") writing " << path
                  << ": " << result.err;
  }
}

TempDir::TempDir() : path_(testing_files::MakeTempDir("kestrumel-")) {
  if (path_.empty()) ADD_FAILURE() << "cannot make a temporary directory";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(testing_files::PathOf(path_), ignored);
}

}  // namespace testing_db
