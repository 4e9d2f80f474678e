#pragma once
// SQLite keeps a date as the text 'YYYY-MM-DD HH:MM:SS' in local time; TO_DATE, TO_CHAR and
// date arithmetic read and write that form.
#include <string>
#include <string_view>

#include "db/runtime/oracle_date.h"

namespace db::dialect {

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

}  // namespace db::dialect
