#pragma once
// A prepared query or modification of a SQLite session. Its native statement is kept by the
// session (session.h) and compiled again on the handle of a new schema.
#include <memory>
#include <string>
#include <vector>

#include "db/dialect/sqlite_text.h"
#include "db/runtime/backend.h"
#include "db/sqlite/session.h"
#include "db/sqlite/unchanged_keys.h"

namespace db::sqlite {

// What a command of the session runs: a statement, or an update in two forms.
class Runnable : public BackendStatement {
 public:
  // As a statement alone: a query appends its rows, a change sets `affected`. A failed
  // statement has undone its own changes (SQLite's statement journal). Returns a status.
  virtual int Run(const std::vector<SqlValue>& inputs, SqlRows* rows, int64_t* affected) = 0;
};

class Statement : public Runnable {
 public:
  // `text` is the adapted body; Prepare() must succeed before the first Run(). `bound`, when
  // not empty, names the inputs it binds, in order; by default it binds all of them.
  Statement(std::weak_ptr<Link> link, dialect::DialectText text, std::vector<int> bound = {});
  ~Statement() override;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Compiles the statement on the session's current handle; returns a status.
  int Prepare();
  int Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
          int64_t* affected) override;

 private:
  int Compiled(Link& link, sqlite3_stmt*& native);
  const dialect::FetchConversion* ConversionOf(int column) const;
  int Bind(Link& link, sqlite3_stmt* native, const std::vector<SqlValue>& inputs);
  int Step(Link& link, sqlite3_stmt* native, SqlRows* rows);

  std::weak_ptr<Link> link_;
  std::string sql_;
  std::vector<dialect::FetchConversion> conversions_;  // select-list dates converted row by row
  std::vector<int> bound_;
};

// An update that also sets the key its where clause picks the row by (unchanged_keys.h): it
// runs without those assignments whenever they change nothing.
class KeyedUpdate : public Runnable {
 public:
  KeyedUpdate(std::weak_ptr<Link> link, std::unique_ptr<Statement> full,
              std::unique_ptr<Statement> shorter, UnchangedKeys keys)
      : link_(std::move(link)),
        full_(std::move(full)),
        shorter_(std::move(shorter)),
        keys_(std::move(keys)) {}

  int Run(const std::vector<SqlValue>& inputs, SqlRows* rows, int64_t* affected) override;

 private:
  bool KeysUnchanged(const std::vector<SqlValue>& inputs) const;

  std::weak_ptr<Link> link_;
  std::unique_ptr<Statement> full_;
  std::unique_ptr<Statement> shorter_;
  UnchangedKeys keys_;
};

// The compiled statement for a modification `body` (Oracle dialect): a KeyedUpdate where the
// update's key assignments can be left out on this table, else a plain Statement.
int PrepareChange(const std::shared_ptr<Link>& link, const std::string& body,
                  std::unique_ptr<BackendStatement>& prepared);

}  // namespace db::sqlite
