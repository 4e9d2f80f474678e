#include "db/runtime/runtime.h"

namespace db {

int SqlExecuteGuarded(const GuardedStatement& guarded, HostList in) {
  SqlSeries change;
  int status = status::kOk;
  change.AddChange(guarded, in, status);
  change.Run();
  return status;
}

}  // namespace db
