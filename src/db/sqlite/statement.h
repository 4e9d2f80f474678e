#pragma once
// A prepared query or modification on the session's handle.
#include <memory>
#include <string>
#include <vector>

#include "db/runtime/backend.h"
#include "db/sqlite/dialect.h"

struct sqlite3_stmt;

namespace db::sqlite {

class Connection;

class Statement : public BackendStatement {
 public:
  // `text` is the adapted body; Prepare() must succeed before the first Run().
  Statement(std::shared_ptr<Connection> connection, SqliteText text, bool modifies);
  ~Statement() override;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Compiles the statement on the connection's current handle; returns a status.
  int Prepare();
  int Run(const std::vector<SqlValue>& inputs, std::vector<SqlRow>* rows,
          int64_t* affected) override;

 private:
  bool Current() const;
  const FetchConversion* ConversionOf(int column) const;
  int Bind(const std::vector<SqlValue>& inputs);
  int Step(std::vector<SqlRow>* rows);

  std::shared_ptr<Connection> connection_;
  std::string sql_;
  std::vector<FetchConversion> conversions_;  // select-list dates converted row by row
  bool modifies_;
  sqlite3_stmt* statement_ = nullptr;
  uint64_t generation_ = 0;  // of the handle statement_ belongs to
};

}  // namespace db::sqlite
