#pragma once
// Tests of what only the PostgreSQL backend has: a fresh test database with the runtime of
// this process connected, and a libpq connection of the test's own to the same database.
// Skipped when no test server runs (failed instead with KESTRUMEL_REQUIRE_PG=1).
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/backend_test.h"
#include "common/test_db.h"
#include "db/runtime/backend.h"
#include "db/runtime/fault_seam.h"
#include "db/runtime/runtime.h"

struct PgConnectionDeleter {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using PgConnection = std::unique_ptr<PGconn, PgConnectionDeleter>;

inline std::string TestEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class PostgresTest : public testing_db::BackendTest {
 protected:
  void SetUp() override {
    auto backends = testing_db::TestBackends();
    if (std::find(backends.begin(), backends.end(), testing_db::Backend::Postgres) ==
        backends.end()) {
      GTEST_SKIP() << "no PostgreSQL test server (scripts/pg-test-server.sh start)";
    }
    Open(testing_db::Backend::Postgres);
  }

  std::string Database() const {
    std::string net = db->NetService();
    return net.substr(net.rfind('/') + 1);
  }
  static std::string Port() { return TestEnv("KESTRUMEL_TEST_PG_PORT"); }
  static std::string Host() {
    std::string host = TestEnv("KESTRUMEL_TEST_PG_HOST");
    return host.empty() ? "127.0.0.1" : host;
  }

  // A connection of the test to the test database, search path the test schema.
  PgConnection Native() const {
    std::string host = Host();
    std::string database = Database();
    std::string port = Port();
    std::string user = db->User();
    std::string password = db->Password();
    const char* keywords[] = {"host", "port", "dbname", "user", "password", "options", nullptr};
    const char* values[] = {host.c_str(), port.c_str(),     database.c_str(),
                            user.c_str(), password.c_str(), "-c search_path=ktest",
                            nullptr};
    PgConnection connection(PQconnectdbParams(keywords, values, 0));
    EXPECT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
    return connection;
  }

  static void NativeExec(PGconn* connection, const std::string& sql) {
    PGresult* result = PQexec(connection, sql.c_str());
    ExecStatusType state = PQresultStatus(result);
    if (state != PGRES_COMMAND_OK && state != PGRES_TUPLES_OK) {
      ADD_FAILURE() << PQresultErrorMessage(result) << " in: " << sql;
    }
    PQclear(result);
  }

  // The first value of a native query, "" on failure.
  static std::string NativeScalar(PGconn* connection, const std::string& sql) {
    PGresult* result = PQexec(connection, sql.c_str());
    std::string value;
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0) {
      value = PQgetvalue(result, 0, 0);
    } else {
      ADD_FAILURE() << PQresultErrorMessage(result) << " in: " << sql;
    }
    PQclear(result);
    return value;
  }
};
