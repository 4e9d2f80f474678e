#include "db/dialect/postgresql_dates.h"

#include "db/runtime/oracle_date.h"
#include "db/runtime/sql_scanner.h"
#include "db/status.h"

namespace db::dialect {
namespace {

constexpr std::string_view kDayFormat = "yyyymmdd";
constexpr std::string_view kStampFormat = "yyyymmddhh24miss";

}  // namespace

bool DateModelFromFormat(std::string_view format, DateModel& model) {
  if (EqualsIgnoringCase(format, kDayFormat)) {
    model = DateModel::Day;
    return true;
  }
  if (EqualsIgnoringCase(format, kStampFormat)) {
    model = DateModel::Stamp;
    return true;
  }
  return false;
}

int DateTextToIso(std::string_view text, DateModel model, std::string& iso) {
  bool day = model == DateModel::Day;
  DateTime value;
  int rc = ParseOracleDate(text, day ? kDayFormat : kStampFormat, value);
  if (rc != status::kOk) return rc;
  return FormatOracleDate(value, day ? "yyyy-mm-dd" : "yyyy-mm-dd hh24:mi:ss", iso);
}

}  // namespace db::dialect
