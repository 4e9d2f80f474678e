#pragma once
// The Oracle date functions as SQL functions of a connection: TO_DATE(text, model),
// TO_CHAR(date, model) and DATE_PLUS_DAYS(date, days), the form the dialect adaptation gives
// "date + days". All are deterministic, so that a comparison with them can use an index.
// SQLite keeps a date as the text 'YYYY-MM-DD HH:MM:SS' in local time; they read and write
// that form, and so does the fetch of a date column.
#include <string>
#include <string_view>

struct sqlite3;

namespace db::sqlite {

// Returns an SQLite result code.
int RegisterDateFunctions(sqlite3* handle);

// TO_CHAR of a stored date by the format model `format`. Returns 0, or the status that
// TO_DATE gives the same date and time (a day or an hour that does not exist), or -1821.
int StoredToChar(std::string_view stored, std::string_view format, std::string& text);

}  // namespace db::sqlite
