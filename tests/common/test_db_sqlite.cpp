// The SQLite half of the test database fixture: DIR/<schema>.db and DIR/RVKSTAMM.db made from
// schema/sqlite, reached by the runtime as "sqlite:DIR" and by the test through its own handle.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "common/test_db_backends.h"

namespace testing_db {
namespace {

std::string ReadSchemaFile(const std::string& name) {
  std::string path = std::string(KESTRUMEL_SOURCE_DIR) + "/schema/sqlite/" + name;
  std::ifstream in(path);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ExecOrFail(sqlite3* handle, const std::string& sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    ADD_FAILURE() << "SQLite " << rc << ": " << (message ? message : "") << "\n  in: " << sql;
  }
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

bool CreateDatabase(const std::string& path, const std::string& schemaFile) {
  sqlite3* handle = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                           nullptr);
  bool ok = rc == SQLITE_OK && ExecOrFail(handle, ReadSchemaFile(schemaFile));
  if (rc != SQLITE_OK) ADD_FAILURE() << "cannot create " << path;
  sqlite3_close(handle);
  return ok;
}

// A second handle on the database in a transaction that began IMMEDIATE.
class SqliteHeldTransaction : public TestDb::HeldTransaction {
 public:
  explicit SqliteHeldTransaction(sqlite3* handle) : handle_(handle) {}
  ~SqliteHeldTransaction() override {
    sqlite3_exec(handle_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(handle_);
  }

 private:
  sqlite3* handle_;
};

class SqliteTestDb : public TestDb {
 public:
  explicit SqliteTestDb(std::string schema) : schema_(std::move(schema)) {}
  ~SqliteTestDb() override { sqlite3_close(admin_); }

  bool Init() {
    std::string calendar = dir_.Path() + "/RVKSTAMM.db";
    if (!CreateDatabase(dir_.Path() + "/" + schema_ + ".db", "schema.sql")) return false;
    if (!CreateDatabase(calendar, "rvkstamm.sql")) return false;
    if (sqlite3_open_v2((dir_.Path() + "/" + schema_ + ".db").c_str(), &admin_,
                        SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "cannot open " << schema_;
      return false;
    }
    sqlite3_busy_timeout(admin_, 10000);
    return ExecOrFail(admin_, "ATTACH DATABASE '" + calendar + "' AS RVKSTAMM");
  }

  std::string NetService() const override { return "sqlite:" + dir_.Path(); }
  std::string User() const override { return "kestrumel"; }
  std::string Password() const override { return "secret"; }
  std::string Schema() const override { return schema_; }

  void Exec(const std::string& sql) override { ExecOrFail(admin_, sql); }

  Rows Query(const std::string& sql) override {
    Rows rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(admin_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(admin_) << "\n  in: " << sql;
      return rows;
    }
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      std::vector<Cell> row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        row.push_back(text ? Cell(reinterpret_cast<const char*>(text)) : std::nullopt);
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) ADD_FAILURE() << sqlite3_errmsg(admin_) << "\n  in: " << sql;
    sqlite3_finalize(statement);
    return rows;
  }

  std::unique_ptr<HeldTransaction> Hold(const std::string& sql) override {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2((dir_.Path() + "/" + schema_ + ".db").c_str(), &handle,
                        SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "cannot open " << schema_ << " a second time";
      sqlite3_close(handle);
      return nullptr;
    }
    sqlite3_busy_timeout(handle, 10000);
    auto held = std::make_unique<SqliteHeldTransaction>(handle);
    if (!ExecOrFail(handle, "BEGIN IMMEDIATE; " + sql)) return nullptr;
    return held;
  }

  // "RVKSTAMM.Rvk133Bak" puts the trigger into the calendar's own database.
  void FailOn(const std::string& table, const std::string& operation) override {
    std::string schemaPrefix;
    std::string name = table;
    if (size_t dot = table.find('.'); dot != std::string::npos) {
      schemaPrefix = table.substr(0, dot + 1);
      name = table.substr(dot + 1);
    }
    Exec("CREATE TRIGGER IF NOT EXISTS " + schemaPrefix + "fail_" + name + "_" + operation + " BEFORE " +
         operation + " ON " + name + " BEGIN SELECT RAISE(ABORT, 'injected'); END");
  }

 private:
  TempDir dir_;  // declared first: removed after the handle is closed
  std::string schema_;
  sqlite3* admin_ = nullptr;
};

std::unique_ptr<TestDb> CreateSqliteTestDb(const std::string& schema) {
  auto db = std::make_unique<SqliteTestDb>(schema);
  if (!db->Init()) return nullptr;
  return db;
}

bool Always() { return true; }

const TestDbRegistration kRegistration({"sqlite", Always, CreateSqliteTestDb});

}  // namespace

}  // namespace testing_db
