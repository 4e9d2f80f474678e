#pragma once
// SQLite keeps a date as the text 'YYYY-MM-DD HH:MM:SS' in local time; TO_DATE, TO_CHAR and
// date arithmetic read and write that form.
#include <string>
#include <string_view>

#include "db/runtime/oracle_date.h"

namespace db::sqlite {

// The stored form; a bare 'YYYY-MM-DD' reads as midnight. Returns 0 or -1861.
int ParseStored(std::string_view text, DateTime& value);
std::string FormatStored(const DateTime& value);

// Shifts `value` by `days` (fractions are parts of a day, to the second). Returns 0, or
// -1841 when the result leaves the years 1 to 9999.
int AddDays(DateTime& value, double days);

}  // namespace db::sqlite
