#include "db/runtime/sql_rows.h"

#include <algorithm>
#include <cstring>

namespace db {
namespace {

constexpr size_t kBlockBytes = 1 << 20;

// Each row: its value count, then per value a kind byte followed by the number (Int, Error)
// or the length and bytes of the text (Text); a Null is the kind alone.
template <typename T>
void Put(std::string& bytes, T value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T Take(const char*& at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  at += sizeof value;
  return value;
}

void Pack(const SqlRow& row, std::string& bytes) {
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

}  // namespace

void SqlRows::Append(const SqlRow& row) {
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

void SqlRows::Append(SqlRows&& other) {
  const auto first = static_cast<uint32_t>(blocks_.size());
  for (const Start& start : other.starts_) starts_.push_back({first + start.block, start.offset});
  for (std::string& block : other.blocks_) blocks_.push_back(std::move(block));
  other.blocks_.clear();
  other.starts_.clear();
}

void SqlRows::Truncate(size_t count) {
  if (count >= starts_.size()) return;
  const Start first = starts_[count];
  blocks_.resize(first.block + 1);
  blocks_.back().resize(first.offset);
  starts_.resize(count);
}

void SqlRows::Read(size_t index, SqlRow& row) const {
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

}  // namespace db
