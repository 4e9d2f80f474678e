#pragma once
// The one translation from SQLite's result codes and messages to Oracle statuses. The date
// functions report their faults as "ORA-nnnnn: ...", read back as the status -nnnnn.
#include <string>

namespace db::sqlite {

// `code` an extended SQLite result code, `message` its text (may be null).
int MapSqliteError(int code, const char* message);

// The message an SQL function raises for an Oracle status, e.g. "ORA-01843: not a valid month".
std::string OracleErrorMessage(int status);

}  // namespace db::sqlite
