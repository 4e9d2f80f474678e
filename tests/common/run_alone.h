#pragma once
// A table-module operation in a series of its own, for the tests that call one alone.
#include <utility>

#include "db/batch.h"
#include "db/status.h"

namespace testing_db {

// Runs `operation(batch, args..., status)` on a batch of one; returns the status.
template <typename Operation, typename... Args>
int RunAlone(Operation operation, Args&&... args) {
  db::Batch batch;
  int status = db::status::kOk;
  operation(batch, std::forward<Args>(args)..., status);
  batch.Run();
  return status;
}

// A change that undoes only itself when it fails or matches no row, sent as the table modules
// send one; returns its status.
inline int GuardedChange(const char* text, db::HostList in) {
  db::SqlSeries series;
  int status = db::status::kOk;
  series.AddChange({.savepoint = "savepoint Test_Sp", .statement = text,
                    .rollback = "rollback  to Test_Sp"}, in, status);
  series.Run();
  return status;
}

}  // namespace testing_db
