#pragma once
// An update of a SQLite session that also sets the key its where clause picks the row by
// (unchanged_keys.h): it runs without those assignments whenever they change nothing.
#include <memory>

#include "db/runtime/backend.h"
#include "db/sqlite/session.h"
#include "db/sqlite/statement.h"
#include "db/sqlite/unchanged_keys.h"

namespace db::sqlite {

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

// The statement for a modification `body` (Oracle dialect): a KeyedUpdate for an update whose
// key assignments can be left out on this table, else a plain Statement. Compiles what it
// returns.
int PrepareChange(const std::shared_ptr<Link>& link, const std::string& body,
                  std::unique_ptr<BackendStatement>& prepared);

}  // namespace db::sqlite
