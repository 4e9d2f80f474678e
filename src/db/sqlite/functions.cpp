#include "db/sqlite/functions.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>

#include "common/civil_days.h"
#include "db/runtime/oracle_date.h"
#include "db/status.h"

namespace db::sqlite {
namespace {

void CivilFromDays(int64_t z, DateTime& value) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  value.year = static_cast<int>(yoe + era * 400 + (m <= 2));
  value.month = static_cast<int>(m);
  value.day = static_cast<int>(d);
}

// The stored form; a bare 'YYYY-MM-DD' reads as midnight.
int ParseStored(std::string_view text, DateTime& value) {
  if (text.size() == 10) return ParseOracleDate(text, "yyyy-mm-dd", value);
  return ParseOracleDate(text, "yyyy-mm-dd hh24:mi:ss", value);
}

std::string FormatStored(const DateTime& value) {
  std::string text;
  FormatOracleDate(value, "yyyy-mm-dd hh24:mi:ss", text);
  return text;
}

// Fractions of `days` are parts of a day, to the second; -1841 when the result leaves the
// years 1 to 9999.
int AddDays(DateTime& value, double days) {
  if (!std::isfinite(days) || std::fabs(days) > 4000000.0) return status::kYearInvalid;
  int64_t seconds = DaysFromCivil(value.year, value.month, value.day) * 86400 +
                    value.hour * 3600 + value.minute * 60 + value.second;
  seconds += std::llround(days * 86400.0);
  int64_t dayNumber = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t secondOfDay = seconds - dayNumber * 86400;
  DateTime shifted;
  CivilFromDays(dayNumber, shifted);
  shifted.hour = static_cast<int>(secondOfDay / 3600);
  shifted.minute = static_cast<int>(secondOfDay / 60 % 60);
  shifted.second = static_cast<int>(secondOfDay % 60);
  if (shifted.year < 1 || shifted.year > 9999) return status::kYearInvalid;
  value = shifted;
  return status::kOk;
}

std::string_view TextOf(sqlite3_value* value) {
  const unsigned char* text = sqlite3_value_text(value);
  int length = sqlite3_value_bytes(value);
  return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text),
                                                                 static_cast<size_t>(length));
}

// NULL in, NULL out, as for every Oracle function; an empty text is NULL in Oracle.
bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    if (sqlite3_value_type(argv[i]) == SQLITE_TEXT && sqlite3_value_bytes(argv[i]) == 0) return true;
  }
  return false;
}

void ResultStatus(sqlite3_context* context, int status) {
  sqlite3_result_error(context, OracleErrorMessage(status).c_str(), -1);
}

void ResultText(sqlite3_context* context, const std::string& text) {
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ToDate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  DateTime value;
  int rc = ParseOracleDate(TextOf(argv[0]), TextOf(argv[1]), value);
  if (rc != status::kOk) return ResultStatus(context, rc);
  ResultText(context, FormatStored(value));
}

void ToChar(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string text;
  int rc = StoredToChar(TextOf(argv[0]), TextOf(argv[1]), text);
  if (rc != status::kOk) return ResultStatus(context, rc);
  ResultText(context, text);
}

void DatePlusDays(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  int type = sqlite3_value_numeric_type(argv[1]);
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
    return ResultStatus(context, status::kInvalidNumber);
  }
  DateTime value;
  int rc = ParseStored(TextOf(argv[0]), value);
  if (rc == status::kOk) rc = AddDays(value, sqlite3_value_double(argv[1]));
  if (rc != status::kOk) return ResultStatus(context, rc);
  ResultText(context, FormatStored(value));
}

struct FunctionEntry {
  const char* name;
  void (*function)(sqlite3_context*, int, sqlite3_value**);
};

constexpr FunctionEntry kFunctions[] = {
    {"TO_DATE", ToDate},
    {"TO_CHAR", ToChar},
    {"DATE_PLUS_DAYS", DatePlusDays},
};

}  // namespace

int StoredToChar(std::string_view stored, std::string_view format, std::string& text) {
  DateTime value;
  int rc = ParseStored(stored, value);
  if (rc != status::kOk) return rc;
  return FormatOracleDate(value, format, text);
}

int RegisterDateFunctions(sqlite3* handle) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (const FunctionEntry& entry : kFunctions) {
    int rc = sqlite3_create_function_v2(handle, entry.name, 2, kFlags, nullptr, entry.function,
                                        nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace db::sqlite
