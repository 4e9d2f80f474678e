// The ODBC half of the test database fixture: a PostgreSQL test database, made and inspected
// as the PostgreSQL half does, that the runtime reaches through the ODBC DSN which
// scripts/pg-test-server.sh wrote for the same server (KESTRUMEL_TEST_ODBC_DSN).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/test_db_backends.h"

namespace testing_db {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class OdbcTestDb : public TestDb {
 public:
  OdbcTestDb(std::unique_ptr<TestDb> server, std::string dsn)
      : server_(std::move(server)), dsn_(std::move(dsn)) {}

  // The database is the last part of the server's "postgresql://host:port/database".
  std::string NetService() const override {
    std::string uri = server_->NetService();
    return "odbc:DSN=" + dsn_ + ";Database=" + uri.substr(uri.rfind('/') + 1);
  }
  std::string User() const override { return server_->User(); }
  std::string Password() const override { return server_->Password(); }
  std::string Schema() const override { return server_->Schema(); }
  void Exec(const std::string& sql) override { server_->Exec(sql); }
  Rows Query(const std::string& sql) override { return server_->Query(sql); }
  void FailOn(const std::string& table, const std::string& operation) override {
    server_->FailOn(table, operation);
  }
  std::unique_ptr<HeldTransaction> Hold(const std::string& sql) override {
    return server_->Hold(sql);
  }

 private:
  std::unique_ptr<TestDb> server_;
  std::string dsn_;
};

std::unique_ptr<TestDb> CreateOdbcTestDb(const std::string& schema) {
  std::string dsn = Env("KESTRUMEL_TEST_ODBC_DSN");
  if (dsn.empty()) {
    ADD_FAILURE() << "no ODBC DSN for the PostgreSQL test server (scripts/pg-test-server.sh start"
                     " with odbc-postgresql installed)";
    return nullptr;
  }
  std::unique_ptr<TestDb> server = TestDb::Create(Backend::Postgres, schema);
  if (server == nullptr) return nullptr;
  return std::make_unique<OdbcTestDb>(std::move(server), dsn);
}

// With the server required, ODBC stays in the list even without its DSN, so that its tests
// fail in Create instead of disappearing.
bool DsnGiven() {
  return !Env("KESTRUMEL_TEST_ODBC_DSN").empty() || Env("KESTRUMEL_REQUIRE_PG") == "1";
}

const TestDbRegistration kRegistration({"odbc", DsnGiven, CreateOdbcTestDb});

}  // namespace

}  // namespace testing_db
