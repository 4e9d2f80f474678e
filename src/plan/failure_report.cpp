#include "plan/failure_report.h"

#include "db/status_kind.h"
#include "db/work.h"
#include "log/message_log.h"

void ReportFailure(const char* function, const char* message, int status) {
  if (db::status::IsConnectionLost(status) || Work_ConnectionLost()) return;
  LogError(function, message, status);
}
