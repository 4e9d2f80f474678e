#pragma once
// One value of a statement's input or of a result row, as the runtime and the backends
// exchange it.
#include <cstdint>
#include <string>
#include <vector>

namespace db {

struct SqlValue {
  // Error: a column value of a result row that could not be converted (a stored date that
  // does not exist); `number` holds its Oracle status, reported at the fetch of that row.
  enum class Kind : uint8_t { Null, Int, Text, Error };
  Kind kind = Kind::Null;
  int64_t number = 0;
  std::string text;

  // Back to Null, keeping the text's storage for the next value.
  void Clear() {
    kind = Kind::Null;
    number = 0;
    text.clear();
  }
};
using SqlRow = std::vector<SqlValue>;

}  // namespace db
