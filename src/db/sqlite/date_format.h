#pragma once
// Oracle date format models over the stored date form. A date is stored as the text
// 'YYYY-MM-DD HH:MM:SS' in local time; TO_DATE and TO_CHAR convert between that form and the
// texts of a format model such as 'yyyymmdd' or 'yyyymmddHH24MISS'. Pure text work.
#include <string>
#include <string_view>

namespace db::sqlite {

struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Reads `text` as the format model says. Elements: YYYY, MM, DD, HH24, MI, SS (any case),
// each of fixed width; separators - / , . ; : and blanks, and "quoted text", must match
// exactly. Year and month not in the model are the current ones, the day 1, the time 0.
// Returns 0 or the Oracle status of the fault (-1861 text does not match the model, -1841,
// -1843, -1847, -1850, -1851, -1852 a value out of range, -1821 unknown model element).
int ParseByFormat(std::string_view text, std::string_view format, DateTime& value);

// Writes `value` as the format model says; returns 0 or -1821.
int FormatByFormat(const DateTime& value, std::string_view format, std::string& text);

// The stored form; a bare 'YYYY-MM-DD' reads as midnight. Returns 0 or -1861.
int ParseStored(std::string_view text, DateTime& value);
std::string FormatStored(const DateTime& value);

// Shifts `value` by `days` (fractions are parts of a day, to the second). Returns 0, or
// -1841 when the result leaves the years 1 to 9999.
int AddDays(DateTime& value, double days);

}  // namespace db::sqlite
