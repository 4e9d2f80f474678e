#pragma once
// Oracle's TO_DATE and TO_CHAR format models, checked with an Oracle server's statuses whatever
// the database underneath would accept. Pure text work.
#include <string>
#include <string_view>

namespace db {

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
// Returns 0 or the Oracle status of the first fault, the text's form before its values:
// -1861 text does not match the model, then -1841 year, -1843 month, -1847 day, -1850 hour,
// -1851 minute, -1852 second out of range; -1821 unknown model element.
int ParseOracleDate(std::string_view text, std::string_view format, DateTime& value);

// Writes `value` as the format model says; returns 0 or -1821.
int FormatOracleDate(const DateTime& value, std::string_view format, std::string& text);

// Whether a format model, read with Oracle's full set of elements, has an hour, minute, second
// or meridian element (HH, HH12, HH24, MI, SS, SSSSS, FF, AM, PM), not merely a letter H.
bool FormatHasTimeOfDay(std::string_view format);

}  // namespace db
