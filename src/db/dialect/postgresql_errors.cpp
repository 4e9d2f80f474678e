#include "db/dialect/postgresql.h"

#include <cstring>

#include "db/status.h"

namespace db::dialect {
namespace {

struct SqlStateRule {
  const char* prefix;  // a full SQLSTATE, or a two-character class matching all its codes
  int status;
};

// The most specific rule comes first; a code without a rule is an internal error.
constexpr SqlStateRule kSqlStateRules[] = {
    {"23505", status::kUniqueViolated},
    {"23502", status::kNotNullViolated},
    {"23514", status::kCheckViolated},
    {"22001", status::kValueTooLarge},       // string_data_right_truncation
    {"22003", status::kIntegerOverflow},     // numeric_value_out_of_range
    {"22P02", status::kInvalidNumber},       // invalid_text_representation
    {"22007", status::kDateFormatMismatch},  // invalid_datetime_format
    {"22008", status::kDayOfMonthInvalid},   // datetime_field_overflow
    {"22021", status::kInvalidCharacter},    // character_not_in_repertoire
    {"22P05", status::kInvalidCharacter},    // untranslatable_character
    {"42P01", status::kNoSuchTable},         // undefined_table
    {"3F000", status::kNoSuchTable},         // invalid_schema_name
    {"42703", status::kInvalidIdentifier},   // undefined_column
    {"42883", status::kInvalidIdentifier},   // undefined_function
    {"42501", status::kInsufficientPrivileges},
    {"42601", status::kInvalidSqlStatement},   // syntax_error
    {"08P01", status::kNotAllVariablesBound},  // protocol_violation: wrong parameter count
    {"3B001", status::kSavepointUnknown},
    {"23503", status::kParentKeyNotFound},     // foreign_key_violation
    {"40P01", status::kDeadlock},
    {"40001", status::kSerializationFailure},  // serialization_failure
    {"55P03", status::kResourceBusy},          // lock_not_available
    {"57014", status::kCancelled},             // query_canceled: a cancel or statement_timeout
    {"25006", status::kDatabaseReadOnly},      // read_only_sql_transaction: a standby
    {"53100", status::kTablespaceFull},        // disk_full
    {"53200", status::kOutOfMemory},           // out_of_memory
    {"58030", status::kIoError},               // io_error
    {"XX001", status::kBlockCorrupted},        // data_corrupted
    {"XX002", status::kBlockCorrupted},        // index_corrupted
    {"P0001", status::kTriggerRaised},         // RAISE EXCEPTION in a trigger
    // The session ended under the statement; once that is known, nothing is sent any more
    // and the channel reports "not connected" itself.
    {"57P01", status::kEndOfFileOnChannel},  // admin_shutdown: terminated, server shut down
    {"57P02", status::kEndOfFileOnChannel},  // crash_shutdown
    {"57P03", status::kNotConnected},        // cannot_connect_now
    {"08", status::kEndOfFileOnChannel},
};

bool MatchesRule(const SqlStateRule& rule, const char* sqlState) {
  return std::strncmp(sqlState, rule.prefix, std::strlen(rule.prefix)) == 0;
}

bool Contains(const char* text, const char* fragment) {
  return text != nullptr && std::strstr(text, fragment) != nullptr;
}

}  // namespace

int StatusFromPostgresSqlState(const char* sqlState) {
  if (sqlState == nullptr || *sqlState == '\0') return status::kInternal;
  for (const SqlStateRule& rule : kSqlStateRules) {
    if (MatchesRule(rule, sqlState)) return rule.status;
  }
  return status::kInternal;
}

// The drivers keep a refused login's SQLSTATE to themselves, so the message is read. A refused
// login or database is told first: with a host list the message holds every host's failure.
// What may pass (a server down, starting, a standby) keeps a status that a reconnect retries.
// The password is checked before the database: once it was sent, a refusal that names no
// database is a logon failure.
int StatusFromPostgresConnectFailure(const char* message, bool passwordSent) {
  if (Contains(message, "database \"") && Contains(message, "does not exist")) {
    return status::kServiceUnresolved;
  }
  if (Contains(message, "authentication failed") || Contains(message, "pg_hba.conf") ||
      (Contains(message, "role \"") && Contains(message, "does not exist"))) {
    return status::kLogonDenied;
  }
  if (Contains(message, "session is read-only") || Contains(message, "hot standby") ||
      Contains(message, "does not allow writes")) {
    return status::kDatabaseReadOnly;
  }
  if (Contains(message, "starting up") || Contains(message, "shutting down") ||
      Contains(message, "recovery mode") || Contains(message, "not yet accepting connections")) {
    return status::kStartingOrShuttingDown;
  }
  if (Contains(message, "timeout expired")) return status::kConnectTimedOut;
  if (Contains(message, "Connection refused") || Contains(message, "No such file or directory") ||
      Contains(message, "No route to host") || Contains(message, "Network is unreachable")) {
    return status::kNoListener;
  }
  if (Contains(message, "server closed the connection") ||
      Contains(message, "Connection reset by peer")) {
    return status::kEndOfFileOnChannel;
  }
  return passwordSent ? status::kLogonDenied : status::kServiceUnresolved;
}

}  // namespace db::dialect
