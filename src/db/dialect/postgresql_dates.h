#pragma once
// The program's two format models, checked by Oracle's rules before sending, since PostgreSQL's
// to_date lets invalid dates through; sent as ISO, free of DateStyle and time zone.
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
