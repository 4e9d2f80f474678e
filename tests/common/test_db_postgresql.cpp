// The PostgreSQL half of the test database fixture: a fresh database per TestDb on the server
// that scripts/pg-test-server.sh started, with the test schema and RVKSTAMM made from
// schema/postgresql, reached by the runtime through its URI and by the test through a
// connection of its own; dropped at the end. On a pair (start-pair: host and port name both
// servers) the database is made on the primary, and every connection goes to whichever server
// is primary at the time.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/postgresql_sql.h"
#include "common/test_db_backends.h"

namespace testing_db {
namespace {

using namespace postgresql_sql;

struct ServerSettings {
  std::string host;  // one, or a list "h1,h2" as the connection library takes it
  std::string port;  // one per host
  std::string user;
  std::string password;
  // A primary and its standby: connections go to the one that takes writes.
  bool Several() const { return host.find(',') != std::string::npos; }
};

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ',');) items.push_back(item);
  return items;
}

// "h1:p1,h2:p2" of a URI.
std::string HostsAndPorts(const ServerSettings& server) {
  std::vector<std::string> hosts = Split(server.host), ports = Split(server.port);
  std::string text;
  for (size_t i = 0; i < hosts.size(); ++i) {
    text += (i > 0 ? "," : "") + hosts[i] + ":" + (i < ports.size() ? ports[i] : ports.back());
  }
  return text;
}

bool ReadServerSettings(ServerSettings& settings) {
  settings = {Env("KESTRUMEL_TEST_PG_HOST"), Env("KESTRUMEL_TEST_PG_PORT"),
              Env("KESTRUMEL_TEST_PG_USER"), Env("KESTRUMEL_TEST_PG_PASSWORD")};
  if (settings.host.empty()) settings.host = "127.0.0.1";
  return !settings.port.empty() && !settings.user.empty();
}

void IgnoreNotice(void*, const char*) {}

PGconn* ConnectTo(const ServerSettings& server, const std::string& database) {
  const char* keywords[] = {"host",     "port",     "dbname", "user",
                            "password", "target_session_attrs", nullptr};
  const char* values[] = {server.host.c_str(),     server.port.c_str(),
                          database.c_str(),        server.user.c_str(),
                          server.password.c_str(), server.Several() ? "read-write" : "any",
                          nullptr};
  PGconn* connection = PQconnectdbParams(keywords, values, 0);
  if (PQstatus(connection) != CONNECTION_OK) {
    ADD_FAILURE() << "cannot connect to " << database << ": " << PQerrorMessage(connection);
    PQfinish(connection);
    return nullptr;
  }
  PQsetNoticeProcessor(connection, IgnoreNotice, nullptr);
  return connection;
}

// Whether `result` of `sql` is a success; a failure fails the test. Takes the result.
bool Succeeded(PGresult* result, const std::string& sql) {
  ExecStatusType state = PQresultStatus(result);
  bool ok = state == PGRES_COMMAND_OK || state == PGRES_TUPLES_OK;
  if (!ok) ADD_FAILURE() << PQresultErrorMessage(result) << "  in: " << sql;
  PQclear(result);
  return ok;
}

// Runs `sql` (one or more statements); a failure fails the test.
bool ExecOn(PGconn* connection, const std::string& sql) {
  return connection != nullptr && Succeeded(PQexec(connection, sql.c_str()), sql);
}

// A connection of its own with a transaction open.
class PostgresHeldTransaction : public TestDb::HeldTransaction {
 public:
  explicit PostgresHeldTransaction(PGconn* connection) : connection_(connection) {}
  ~PostgresHeldTransaction() override { PQfinish(connection_); }  // rolls back

 private:
  PGconn* connection_;
};

class PostgresTestDb : public TestDb {
 public:
  PostgresTestDb(ServerSettings server, std::string schema)
      : server_(std::move(server)), schema_(std::move(schema)), database_(NewDatabaseName()) {}

  ~PostgresTestDb() override {
    PQfinish(connection_);
    if (created_) ExecAgain(admin_, DropDatabase(database_));
    PQfinish(admin_);
  }

  bool Init() {
    admin_ = ConnectTo(server_, "postgres");
    created_ = ExecOn(admin_, CreateDatabase(database_));
    if (!created_) return false;
    connection_ = ConnectTo(server_, database_);
    for (const std::string& sql : SchemaSetup(schema_)) {
      if (!ExecOn(connection_, sql)) return false;
    }
    return true;
  }

  std::string NetService() const override {
    if (server_.Several()) {
      return "postgresql://" + HostsAndPorts(server_) + "/" + database_ +
             "?target_session_attrs=read-write";
    }
    return "postgresql://" + server_.host + ":" + server_.port + "/" + database_;
  }
  std::string User() const override { return server_.user; }
  std::string Password() const override { return server_.password; }
  std::string Schema() const override { return schema_; }

  void Exec(const std::string& sql) override {
    ExecAgain(connection_, sql, SessionSettings(schema_));
  }

  Rows Query(const std::string& sql) override {
    Rows rows;
    if (connection_ == nullptr) return rows;
    PGresult* result = RunAgain(connection_, sql, SessionSettings(schema_));
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
      ADD_FAILURE() << PQresultErrorMessage(result) << "  in: " << sql;
    } else {
      for (int r = 0; r < PQntuples(result); ++r) {
        std::vector<Cell> row;
        for (int c = 0; c < PQnfields(result); ++c) {
          row.push_back(PQgetisnull(result, r, c) ? Cell() : Cell(PQgetvalue(result, r, c)));
        }
        rows.push_back(std::move(row));
      }
    }
    PQclear(result);
    return rows;
  }

  std::unique_ptr<HeldTransaction> Hold(const std::string& sql) override {
    PGconn* connection = ConnectTo(server_, database_);
    if (connection == nullptr) return nullptr;
    auto held = std::make_unique<PostgresHeldTransaction>(connection);
    if (!ExecOn(connection, SessionSettings(schema_) + "; BEGIN; " + sql)) {
      return nullptr;
    }
    return held;
  }

  void FailOn(const std::string& table, const std::string& operation) override {
    Exec(FailOnTrigger(table, operation));
  }

 private:
  // The result of `sql` on `connection`. A failover ends the test's connections too: on a
  // pair, a lost one is opened anew, to whichever server is primary now, `setup` restores its
  // session, and `sql` goes once more.
  PGresult* RunAgain(PGconn* connection, const std::string& sql,
                     const std::string& setup = "") const {
    PGresult* result = PQexec(connection, sql.c_str());
    if (!server_.Several() || PQstatus(connection) != CONNECTION_BAD) return result;
    PQclear(result);
    PQreset(connection);
    if (!setup.empty()) PQclear(PQexec(connection, setup.c_str()));
    return PQexec(connection, sql.c_str());
  }

  bool ExecAgain(PGconn* connection, const std::string& sql, const std::string& setup = "") {
    return connection != nullptr && Succeeded(RunAgain(connection, sql, setup), sql);
  }

  ServerSettings server_;
  std::string schema_;
  std::string database_;
  PGconn* admin_ = nullptr;       // on database postgres: creates and drops the test database
  PGconn* connection_ = nullptr;  // on the test database, search path the test schema
  bool created_ = false;
};

// Needs the server started by scripts/pg-test-server.sh (KESTRUMEL_TEST_PG_* variables).
std::unique_ptr<TestDb> CreatePostgresTestDb(const std::string& schema) {
  ServerSettings server;
  if (!ReadServerSettings(server)) {
    ADD_FAILURE() << "no PostgreSQL test server (scripts/pg-test-server.sh start)";
    return nullptr;
  }
  auto db = std::make_unique<PostgresTestDb>(std::move(server), schema);
  if (!db->Init()) return nullptr;
  return db;
}

// With the server required, PostgreSQL stays in the list even without it, so that its tests
// fail in Create instead of disappearing.
bool ServerGiven() {
  return !Env("KESTRUMEL_TEST_PG_PORT").empty() || Env("KESTRUMEL_REQUIRE_PG") == "1";
}

const TestDbRegistration kRegistration({"postgresql", ServerGiven, CreatePostgresTestDb});

}  // namespace

}  // namespace testing_db
