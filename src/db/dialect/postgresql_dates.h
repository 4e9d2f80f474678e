#pragma once
// The two format models of the program, checked by Oracle's rules before the value is sent:
// PostgreSQL's own to_date lets some invalid dates through (a 7-digit text, year 0), and a
// text checked here reaches the server in ISO form, free of DateStyle and time zone.
#include <string>
#include <string_view>

namespace db::dialect {

enum class DateModel {
  Day,    // 'yyyymmdd'
  Stamp,  // 'yyyymmddHH24MISS'
};

// Reads `text` by `model` as TO_DATE does. Returns 0 and sets `iso` ('YYYY-MM-DD', or with
// ' HH:MM:SS' for a stamp), or the Oracle status of the fault (see ParseOracleDate).
int DateTextToIso(std::string_view text, DateModel model, std::string& iso);

}  // namespace db::dialect
