#include "db/postgresql/link.h"

namespace db::postgresql {

const std::string& PreparedStatements::NameFor(const std::string& key, bool& prepared) {
  auto found = entries_.find(key);
  if (found == entries_.end()) {
    Entry entry;
    entry.name = "kestrumel_" + std::to_string(entries_.size() + 1);
    found = entries_.emplace(key, std::move(entry)).first;
  }
  prepared = found->second.prepared;
  return found->second.name;
}

void PreparedStatements::MarkPrepared(const std::string& key) {
  auto found = entries_.find(key);
  if (found != entries_.end()) found->second.prepared = true;
}

}  // namespace db::postgresql
