#include "plan/failure_report.h"

#include "db/runtime/runtime.h"
#include "db/runtime/status_kind.h"
#include "log/message_log.h"

void ReportFailure(const char* function, const char* message, int status) {
  if (db::status::IsConnectionLost(status) || db::SqlConnectionLost()) return;
  LogError(function, message, status);
}
