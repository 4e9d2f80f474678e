#include "db/runtime/backend.h"
#include "db/runtime/status.h"

namespace db {
// Placeholder until the SQLite backend lands.
int OpenSqliteSession(const char*, const char*, const char*, std::unique_ptr<BackendSession>&) {
  return status::kServiceUnresolved;
}
}  // namespace db
