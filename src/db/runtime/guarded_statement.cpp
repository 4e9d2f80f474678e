#include "db/runtime/runtime.h"

namespace db {

int SqlExecuteGuarded(const GuardedStatement& guarded, HostList in) {
  SqlExecute(guarded.savepoint);
  int rc = SqlExecute(guarded.statement, in);
  if (rc != 0) {
    SqlExecute(guarded.rollback);
  } else if (guarded.onSuccess != nullptr) {
    SqlExecute(guarded.onSuccess);
  }
  return rc;
}

}  // namespace db
