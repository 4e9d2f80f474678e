#pragma once
// A fresh, real test database per test, on either backend: SQLite files in a temporary
// directory, or a new database on the PostgreSQL server that the test script started.
// The suite's six tables come from schema/<backend>/; the calendar lives in schema RVKSTAMM.
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace testing_db {

// A backend under test, by the name of its folder under src/db ("sqlite", "postgresql"),
// which is also the scheme its net service names begin with. Each backend's half of this
// fixture registers a test database under that name (test_db_backends.h); a suite
// instantiated over TestBackends() runs on every one of them.
struct Backend {
  std::string name;
  bool operator==(const Backend&) const = default;
  // For the tests of what only one backend has.
  static const Backend Sqlite;
  static const Backend Postgres;
};
inline const Backend Backend::Sqlite{"sqlite"};
inline const Backend Backend::Postgres{"postgresql"};

std::string BackendName(const Backend& backend);  // for test names

// How GoogleTest shows a backend parameter in its output.
inline void PrintTo(const Backend& backend, std::ostream* os) { *os << backend.name; }

// The backends to run database tests on: every registered one whose test database can be
// made here (PostgreSQL needs the server that the test script starts; with
// KESTRUMEL_REQUIRE_PG=1 a missing server fails the tests instead of skipping them).
std::vector<Backend> TestBackends();

using Cell = std::optional<std::string>;  // nullopt for NULL
using Rows = std::vector<std::vector<Cell>>;

class TestDb {
 public:
  // Creates an empty database holding the six tables (schema `schema`, default "KTEST").
  static std::unique_ptr<TestDb> Create(const Backend& backend, const std::string& schema = "KTEST");
  virtual ~TestDb() = default;

  // What a configuration file would hold: net service name, user, password, schema.
  virtual std::string NetService() const = 0;
  virtual std::string User() const = 0;
  virtual std::string Password() const = 0;
  virtual std::string Schema() const = 0;

  // Native SQL on a separate admin connection, committed at once; fails the test on error.
  // Unqualified names address the test schema; RVKSTAMM.Rvk133Bak the calendar. Date columns
  // take and give 'YYYY-MM-DD HH:MM:SS' on both backends.
  virtual void Exec(const std::string& sql) = 0;
  virtual Rows Query(const std::string& sql) = 0;
  // The first column of the first row ("<none>" when there is no row, nullopt for NULL).
  Cell Scalar(const std::string& sql);
  long Count(const std::string& sql);  // a count(*) query as a number

  // Connects the runtime of this process (SqlConnect + schema switch through dbConnect's
  // statement); returns the status.
  int ConnectRuntime();
  // What ConnectRuntime connects with (user, password, net service, schema), for a child
  // process to connect its runtime through ConnectRuntimeAs.
  std::vector<std::string> ConnectArguments() const;

  // Makes every later `operation` ('insert'/'update'/'delete') on `table` fail through a
  // trigger raising an error, so that failures are real database failures.
  virtual void FailOn(const std::string& table, const std::string& operation) = 0;

  // A transaction on a connection of its own, kept open until the object is destroyed and
  // then rolled back: to hold locks against the program.
  class HeldTransaction {
   public:
    virtual ~HeldTransaction() = default;
  };
  // Begins such a transaction and runs `sql` in it (e.g. "select ... for update"). On SQLite
  // the transaction begins IMMEDIATE, so it holds the database's write lock even with an empty
  // `sql`. Null, after a reported failure, when it cannot.
  virtual std::unique_ptr<HeldTransaction> Hold(const std::string& sql) = 0;

  // Writes a configuration file (enciphered records NET8, SCHEMA, LOGIN, PASS) for this
  // database at `path`, as the configuration tool would, with the schema stored the way
  // the program reads it back.
  void WriteConfig(const std::string& path) const;
};

// Connects the runtime of this process with the first four of `connectArguments` (see
// TestDb::ConnectArguments); returns the status.
int ConnectRuntimeAs(const std::vector<std::string>& connectArguments);

// A temporary directory removed at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
 private:
  std::string path_;
};

}  // namespace testing_db
