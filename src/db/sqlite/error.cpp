#include "db/sqlite/functions.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "db/status.h"

namespace db::sqlite {
namespace {

struct ErrorRule {
  int code;              // an extended code, or a primary code matching all its extensions
  const char* fragment;  // text the message must contain, or null
  int status;
};

// First matching rule wins; a code without a rule is an internal error.
constexpr ErrorRule kRules[] = {
    {SQLITE_CONSTRAINT_PRIMARYKEY, nullptr, status::kUniqueViolated},
    {SQLITE_CONSTRAINT_UNIQUE, nullptr, status::kUniqueViolated},
    {SQLITE_CONSTRAINT_NOTNULL, nullptr, status::kNotNullViolated},
    {SQLITE_CONSTRAINT_TRIGGER, nullptr, status::kTriggerRaised},  // RAISE(ABORT, ...)
    {SQLITE_CONSTRAINT_CHECK, nullptr, status::kCheckViolated},
    {SQLITE_CONSTRAINT_DATATYPE, nullptr, status::kInvalidNumber},
    {SQLITE_BUSY, nullptr, status::kResourceBusy},  // still locked after the busy timeout
    {SQLITE_LOCKED, nullptr, status::kResourceBusy},
    // Faults of the file or the machine, each its own status: a full disk is not a damaged
    // file, and neither is the lock of another process.
    {SQLITE_IOERR_NOMEM, nullptr, status::kOutOfMemory},  // before the I/O class it belongs to
    {SQLITE_IOERR, nullptr, status::kIoError},
    {SQLITE_FULL, nullptr, status::kTablespaceFull},
    {SQLITE_CORRUPT, nullptr, status::kBlockCorrupted},
    {SQLITE_NOTADB, nullptr, status::kBlockCorrupted},  // a header overwritten
    {SQLITE_READONLY, nullptr, status::kDatabaseReadOnly},
    {SQLITE_CANTOPEN, nullptr, status::kIoError},
    {SQLITE_INTERRUPT, nullptr, status::kCancelled},  // a stop asked for cut it short
    {SQLITE_NOMEM, nullptr, status::kOutOfMemory},
    {SQLITE_PERM, nullptr, status::kInsufficientPrivileges},
    {SQLITE_AUTH, nullptr, status::kInsufficientPrivileges},
    {SQLITE_MISMATCH, nullptr, status::kInvalidNumber},
    {SQLITE_RANGE, nullptr, status::kNotAllVariablesBound},
    {SQLITE_ERROR, "no such table", status::kNoSuchTable},
    {SQLITE_ERROR, "no such column", status::kInvalidIdentifier},
    {SQLITE_ERROR, "no such function", status::kInvalidIdentifier},
    {SQLITE_ERROR, "no such savepoint", status::kSavepointUnknown},
    {SQLITE_ERROR, "syntax error", status::kInvalidSqlStatement},
    {SQLITE_ERROR, "incomplete input", status::kInvalidSqlStatement},
};

struct OracleText {
  int status;
  const char* text;
};

constexpr OracleText kOracleTexts[] = {
    {status::kInvalidNumber, "invalid number"},
    {status::kDateFormatUnknown, "date format not recognized"},
    {status::kYearInvalid, "(full) year must be between -4713 and +9999, and not be 0"},
    {status::kMonthInvalid, "not a valid month"},
    {status::kDayOfMonthInvalid, "day of month must be between 1 and last day of month"},
    {status::kHourInvalid, "hour must be between 0 and 23"},
    {status::kMinuteInvalid, "minutes must be between 0 and 59"},
    {status::kSecondInvalid, "seconds must be between 0 and 59"},
    {status::kDateFormatMismatch, "literal does not match format string"},
};

// "ORA-01843: ..." gives -1843; anything else 0.
int StatusFromOracleMessage(const char* message) {
  if (message == nullptr || std::strncmp(message, "ORA-", 4) != 0) return 0;
  int number = 0;
  for (int i = 4; i < 9; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(message[i]))) return 0;
    number = number * 10 + (message[i] - '0');
  }
  return number == 0 ? 0 : -number;
}

bool Matches(const ErrorRule& rule, int code, const char* message) {
  bool codeMatches = rule.code == code || rule.code == (code & 0xff);
  if (!codeMatches) return false;
  return rule.fragment == nullptr ||
         (message != nullptr && std::strstr(message, rule.fragment) != nullptr);
}

}  // namespace

int MapSqliteError(int code, const char* message) {
  if (int fromMessage = StatusFromOracleMessage(message)) return fromMessage;
  for (const ErrorRule& rule : kRules) {
    if (Matches(rule, code, message)) return rule.status;
  }
  return status::kInternal;
}

std::string OracleErrorMessage(int status) {
  const char* text = "error";
  for (const OracleText& entry : kOracleTexts) {
    if (entry.status == status) text = entry.text;
  }
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "ORA-%05d: %s", -status, text);
  return buffer;
}

}  // namespace db::sqlite
