#pragma once
// TO_DATE(text, model), TO_CHAR(date, model) and DATE_PLUS_DAYS(date, days) ("date + days") as
// SQL functions, deterministic so that a comparison with them can use an index. They read and
// write SQLite's dates, texts 'YYYY-MM-DD HH:MM:SS' in local time.
#include <string>
#include <string_view>

struct sqlite3;

namespace db::sqlite {

// Returns an SQLite result code.
int RegisterDateFunctions(sqlite3* handle);

// TO_CHAR of a stored date by the format model `format`. Returns 0, or the status that
// TO_DATE gives the same date and time (a day or an hour that does not exist), or -1821.
int StoredToChar(std::string_view stored, std::string_view format, std::string& text);

// The one translation from SQLite's result codes and messages to Oracle statuses. The date
// functions report their faults as "ORA-nnnnn: ...", read back as the status -nnnnn.
// `code` an extended SQLite result code, `message` its text (may be null).
int MapSqliteError(int code, const char* message);

// The message an SQL function raises for an Oracle status, e.g. "ORA-01843: not a valid month".
std::string OracleErrorMessage(int status);

}  // namespace db::sqlite
