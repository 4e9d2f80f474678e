#pragma once
// A primary PostgreSQL server and its synchronous streaming standby for one test, started by
// scripts/pg-test-server.sh start-pair and removed at destruction, and what a failover does
// to them.
#include <map>
#include <memory>
#include <string>

#include "common/test_db.h"

namespace testing_db {

class ServerPair {
 public:
  // None: the primary alone; the standby's port, still named, has no server.
  enum class Standby { Streaming, None };

  // Null with `skipReason` set where the test cannot run here: no PostgreSQL server installed
  // or no PostgreSQL backend in the program (with KESTRUMEL_REQUIRE_PG=1 a missing server is a
  // failure). Null after a reported failure when the pair does not start.
  static std::unique_ptr<ServerPair> Start(Standby standby, std::string& skipReason);
  ~ServerPair();
  ServerPair(const ServerPair&) = delete;
  ServerPair& operator=(const ServerPair&) = delete;

  // A fresh test database made on the primary, which the standby replicates; its net service
  // names both servers and asks for the read-write one. Null after a reported failure.
  std::unique_ptr<TestDb> CreateDb(const std::string& schema = "KTEST") const;

  // The net service of `db` (made by CreateDb) through ODBC: the pair's data source, which
  // names both servers and asks for the one that takes writes. Empty where the pair has no
  // ODBC driver.
  std::string OdbcNetService(const TestDb& db) const;
  // Points this process's ODBC driver manager at the pair's data sources while it lasts, for
  // the programs it starts.
  class OdbcSources {
   public:
    explicit OdbcSources(const ServerPair& pair);
    ~OdbcSources();
    OdbcSources(const OdbcSources&) = delete;
    OdbcSources& operator=(const OdbcSources&) = delete;

   private:
    std::map<std::string, std::string> saved_;
  };

  // Each true when done, else false after a reported failure.
  bool StopPrimary() const;     // at once (-m immediate): no checkpoint, sessions ended
  bool KillPrimary() const;     // SIGKILL to its postmaster
  bool PromoteStandby() const;  // returns once the standby takes writes
  bool StartPrimary() const;    // again, after StopPrimary

 private:
  explicit ServerPair(std::map<std::string, std::string> variables);
  bool Script(const std::string& command) const;

  // The test variables that start-pair printed (KESTRUMEL_TEST_PG_HOST ... _DIR).
  std::map<std::string, std::string> variables_;
};

}  // namespace testing_db
