#include "common/test_db.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_db_backends.h"
#include "db/runtime/runtime.h"

namespace testing_db {
namespace {

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool PostgresRequired() {
  const char* value = std::getenv("KESTRUMEL_REQUIRE_PG");
  return value != nullptr && std::string(value) == "1";
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

std::string BackendName(Backend backend) {
  switch (backend) {
    case Backend::Sqlite: return "sqlite";
    case Backend::Postgres: return "postgresql";
    case Backend::Odbc: return "odbc";
  }
  return "unknown";
}

// With the server required, PostgreSQL stays in the list even without it, so that its tests
// fail in Create instead of disappearing.
std::vector<Backend> TestBackends() {
  std::vector<Backend> backends{Backend::Sqlite};
  if (EnvSet("KESTRUMEL_TEST_PG_PORT") || PostgresRequired()) backends.push_back(Backend::Postgres);
  if (EnvSet("KESTRUMEL_TEST_ODBC_DSN") || PostgresRequired()) backends.push_back(Backend::Odbc);
  return backends;
}

std::unique_ptr<TestDb> TestDb::Create(Backend backend, const std::string& schema) {
  std::unique_ptr<TestDb> db = backend == Backend::Sqlite     ? CreateSqliteTestDb(schema)
                               : backend == Backend::Postgres ? CreatePostgresTestDb(schema)
                                                              : CreateOdbcTestDb(schema);
  if (db == nullptr) {
    ADD_FAILURE() << "no " << BackendName(backend) << " test database"
                  << (backend != Backend::Sqlite ? " (is the PostgreSQL test server running?)" : "");
  }
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

int TestDb::ConnectRuntime() {
  int rc = db::SqlConnect(User().c_str(), Password().c_str(), NetService().c_str());
  if (rc != 0) return rc;
  std::string text = "ALTER SESSION SET CURRENT_SCHEMA=" + Schema();
  return db::SqlExecute(text.c_str());
}

void TestDb::WriteConfig(const std::string& path) const {
  std::string command = std::string(KESTRUMEL_BINARY_DIR) + "/kestrumel-config write " +
                        ShellQuoted(path) + " --net " + ShellQuoted(NetService()) + " --schema " +
                        ShellQuoted(Schema()) + " --login " + ShellQuoted(User());
  FILE* tool = popen(command.c_str(), "w");
  if (tool == nullptr) {
    ADD_FAILURE() << "cannot start: " << command;
    return;
  }
  std::string password = Password();  // no newline: a tool reading a line or all of stdin gets the same
  std::fwrite(password.data(), 1, password.size(), tool);
  int status = pclose(tool);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    ADD_FAILURE() << "configuration tool failed (" << status << "): " << command;
  }
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrumel-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed for " << pattern;
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testing_db
