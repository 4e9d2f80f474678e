#pragma once
// A fresh, real test database per test, on each backend: SQLite files in a temporary
// directory, or a new database on the PostgreSQL server that the test script started, reached
// by the program natively or through ODBC.
// The suite's six tables come from schema/<backend>/; the calendar lives in schema RVKSTAMM.
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace testing_db {

enum class Backend { Sqlite, Postgres, Odbc };

std::string BackendName(Backend backend);  // "sqlite" / "postgresql" / "odbc", for test names

// How GoogleTest shows a backend parameter in its output.
inline void PrintTo(Backend backend, std::ostream* os) { *os << BackendName(backend); }

// The backends to run database tests on: SQLite always; PostgreSQL when the test script has
// started a server (KESTRUMEL_TEST_PG_* set), and ODBC on that server when it has also
// written a DSN for it (KESTRUMEL_TEST_ODBC_DSN). With KESTRUMEL_REQUIRE_PG=1 a missing server
// or DSN fails the tests instead of skipping the backends that need them.
std::vector<Backend> TestBackends();

using Cell = std::optional<std::string>;  // nullopt for NULL
using Rows = std::vector<std::vector<Cell>>;

class TestDb {
 public:
  // Creates an empty database holding the six tables (schema `schema`, default "KTEST").
  static std::unique_ptr<TestDb> Create(Backend backend, const std::string& schema = "KTEST");
  virtual ~TestDb() = default;

  virtual Backend Kind() const = 0;
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

  // Makes every later `operation` ('insert'/'update'/'delete') on `table` fail through a
  // trigger raising an error, so that failures are real database failures.
  virtual void FailOn(const std::string& table, const std::string& operation) = 0;

  // Writes a configuration file (enciphered records NET8, SCHEMA, LOGIN, PASS) for this
  // database at `path`, as the configuration tool would, with the schema stored the way
  // the program reads it back.
  void WriteConfig(const std::string& path) const;
};

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
