#pragma once
// Statements of several table modules that go out together, in one round trip where the
// backend can, and what each read hands on to its caller once the batch has run.
#include <functional>
#include <utility>
#include <vector>

#include "db/runtime/runtime.h"

namespace db {

class Batch {
 public:
  // The statements, added by the table modules' operations in the order they run.
  SqlSeries series;

  // Runs `take` once the batch has run, in the order given: a read's values from its transfer
  // buffers into its caller's record, where its status says they arrived.
  void After(std::function<void()> take) { takes_.push_back(std::move(take)); }

  void Run() {
    series.Run();
    for (const auto& take : takes_) take();
    takes_.clear();
  }

 private:
  std::vector<std::function<void()>> takes_;
};

}  // namespace db
