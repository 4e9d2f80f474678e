#pragma once
// Oracle's TO_DATE for the two format models of the program, done before the value is sent:
// PostgreSQL's own to_date lets some invalid dates through (a 7-digit text, year 0), and a
// text checked here reaches the server in ISO form, free of DateStyle and time zone.
#include <string>
#include <string_view>

namespace db::postgresql {

enum class DateModel {
  Day,    // 'yyyymmdd'
  Stamp,  // 'yyyymmddHH24MISS'
};

// The model named by a format literal (any case), if it is one of the two.
bool DateModelFromFormat(std::string_view format, DateModel& model);

// Checks `text` against `model`. Returns 0 and sets `iso` ('YYYY-MM-DD', or with
// ' HH:MM:SS' for a stamp), or the Oracle status of the first fault: -1861 the text does not
// match the model, -1841 year, -1843 month, -1847 day, -1850 hour, -1851 minute, -1852 second.
int DateTextToIso(std::string_view text, DateModel model, std::string& iso);

}  // namespace db::postgresql
