#pragma once
// The rows of a query result, packed into blocks of bytes. A cursor reads its whole result at
// open; packed, a queue of 100,000 requests costs a few megabytes instead of one heap string
// per value, and growing by blocks never copies (nor briefly doubles) what was read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db/runtime/sql_value.h"

namespace db {

class SqlRows {
 public:
  void Append(const SqlRow& row);
  // Takes over the rows of `other`, packed as they are.
  void Append(SqlRows&& other);
  // Unpacks row `index` (< size()) into `row`, reusing its storage.
  void Read(size_t index, SqlRow& row) const;
  // Keeps the first `count` rows: a read that failed half way leaves nothing of itself.
  void Truncate(size_t count);
  size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }

 private:
  struct Start {
    uint32_t block;
    uint32_t offset;
  };
  std::vector<std::string> blocks_;
  std::vector<Start> starts_;
  std::string packing_;  // the row being appended
};

}  // namespace db
