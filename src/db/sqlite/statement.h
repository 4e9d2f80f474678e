#pragma once
// A prepared query or modification of a SQLite session. Its native statement is kept by the
// session (session.h) and compiled again on the handle of a new schema.
#include <memory>
#include <string>
#include <vector>

#include "db/dialect/sqlite_text.h"
#include "db/runtime/backend.h"
#include "db/sqlite/session.h"

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
  Statement(std::weak_ptr<Link> link, dialect::DialectText text, bool modifies,
            std::vector<int> bound = {});
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
  bool modifies_;
  std::vector<int> bound_;
};

}  // namespace db::sqlite
