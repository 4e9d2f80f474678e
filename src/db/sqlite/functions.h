#pragma once
// The Oracle date functions as SQL functions of a connection: TO_DATE(text, model),
// TO_CHAR(date, model) and DATE_PLUS_DAYS(date, days), the form the dialect adaptation gives
// "date + days". All are deterministic, so that a comparison with them can use an index.
struct sqlite3;

namespace db::sqlite {

// Returns an SQLite result code.
int RegisterDateFunctions(sqlite3* handle);

}  // namespace db::sqlite
