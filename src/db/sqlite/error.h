#pragma once
// The one translation from SQLite's result codes and messages to the Oracle statuses of
// status.h. SQL functions of this backend report their faults as messages "ORA-nnnnn: ...",
// which the translation reads back as the status -nnnnn.
#include <string>

namespace db::sqlite {

// `code` an extended SQLite result code, `message` its text (may be null).
int MapSqliteError(int code, const char* message);

// The message an SQL function raises for an Oracle status, e.g. "ORA-01843: not a valid month".
std::string OracleErrorMessage(int status);

}  // namespace db::sqlite
