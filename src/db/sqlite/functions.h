#pragma once
// The Oracle date functions as SQL functions of a connection: TO_DATE(text, model),
// TO_CHAR(date, model) and DATE_PLUS_DAYS(date, days), the form the dialect adaptation gives
// "date + days". All are deterministic, so that a comparison with them can use an index.
// SQLite keeps a date as the text 'YYYY-MM-DD HH:MM:SS' in local time; they read and write
// that form, and so does the fetch of a date column.
#include <string>
#include <string_view>

#include "db/runtime/oracle_date.h"

struct sqlite3;

namespace db::sqlite {

// Returns an SQLite result code.
int RegisterDateFunctions(sqlite3* handle);

// The stored form; a bare 'YYYY-MM-DD' reads as midnight. Returns 0 or the status of the
// fault as ParseOracleDate gives it (-1861 another form, -1847 a day that does not exist, ...).
int ParseStored(std::string_view text, DateTime& value);
std::string FormatStored(const DateTime& value);

// TO_CHAR of a stored date by the format model `format`. Returns 0, or the status that
// TO_DATE gives the same date and time (a day or an hour that does not exist), or -1821.
int StoredToChar(std::string_view stored, std::string_view format, std::string& text);

// Shifts `value` by `days` (fractions are parts of a day, to the second). Returns 0, or
// -1841 when the result leaves the years 1 to 9999.
int AddDays(DateTime& value, double days);

}  // namespace db::sqlite
