#pragma once
// The rows of a query result, packed into blocks of bytes: a cursor's whole result (100,000
// requests) costs a few megabytes, not a heap string per value, and growing never copies it.
// Inline: every row read or delivered passes here.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace db {

// One value of a statement's input or of a result row, as the runtime and the backends
// exchange it.
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

class SqlRows {
 public:
  void Append(const SqlRow& row) {
    packing_.clear();
    Pack(row, packing_);
    if (blocks_.empty() || blocks_.back().size() + packing_.size() > blocks_.back().capacity()) {
      // A one-row result stays small; a long one grows by blocks up to a megabyte each.
      size_t grown = blocks_.empty() ? 0 : std::min(kBlockBytes, 2 * blocks_.back().capacity());
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(grown, packing_.size()));
    }
    std::string& block = blocks_.back();
    starts_.push_back(
        {static_cast<uint32_t>(blocks_.size() - 1), static_cast<uint32_t>(block.size())});
    block += packing_;
  }

  // Unpacks row `index` (< size()) into `row`, reusing its storage.
  void Read(size_t index, SqlRow& row) const {
    const Start start = starts_[index];
    const char* at = blocks_[start.block].data() + start.offset;
    row.resize(Take<uint32_t>(at));
    for (SqlValue& value : row) {
      value.Clear();
      value.kind = Take<SqlValue::Kind>(at);
      switch (value.kind) {
        case SqlValue::Kind::Null: break;
        case SqlValue::Kind::Int:
        case SqlValue::Kind::Error: value.number = Take<int64_t>(at); break;
        case SqlValue::Kind::Text: {
          uint32_t length = Take<uint32_t>(at);
          value.text.assign(at, length);
          at += length;
          break;
        }
      }
    }
  }

  // Keeps the first `count` rows: a read that failed half way leaves nothing of itself.
  void Truncate(size_t count) {
    if (count >= starts_.size()) return;
    const Start first = starts_[count];
    blocks_.resize(first.block + 1);
    blocks_.back().resize(first.offset);
    starts_.resize(count);
  }

  size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }

 private:
  static constexpr size_t kBlockBytes = 1 << 20;

  struct Start {
    uint32_t block;
    uint32_t offset;
  };

  // Each row: its value count, then per value a kind byte followed by the number (Int, Error)
  // or the length and bytes of the text (Text); a Null is the kind alone.
  template <typename T>
  static void Put(std::string& bytes, T value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  template <typename T>
  static T Take(const char*& at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
  }
  static void Pack(const SqlRow& row, std::string& bytes) {
    Put(bytes, static_cast<uint32_t>(row.size()));
    for (const SqlValue& value : row) {
      Put(bytes, value.kind);
      switch (value.kind) {
        case SqlValue::Kind::Null: break;
        case SqlValue::Kind::Int:
        case SqlValue::Kind::Error: Put(bytes, value.number); break;
        case SqlValue::Kind::Text:
          Put(bytes, static_cast<uint32_t>(value.text.size()));
          bytes += value.text;
          break;
      }
    }
  }

  std::vector<std::string> blocks_;
  std::vector<Start> starts_;
  std::string packing_;  // the row being appended
};

}  // namespace db
