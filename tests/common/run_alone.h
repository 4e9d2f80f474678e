#pragma once
// A table-module operation in a series of its own, for the tests that call one alone.
#include <utility>

#include "db/runtime/runtime.h"
#include "db/runtime/status.h"

namespace testing_db {

// Runs `operation(series, args..., status)` on a series of one; returns the status.
template <typename Operation, typename... Args>
int RunAlone(Operation operation, Args&&... args) {
  db::SqlSeries series;
  int status = db::status::kOk;
  operation(series, std::forward<Args>(args)..., status);
  series.Run();
  return status;
}

}  // namespace testing_db
