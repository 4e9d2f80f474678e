#include "db/sqlite/functions.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "db/dialect/sqlite_dates.h"
#include "db/runtime/oracle_date.h"
#include "db/status.h"
#include "db/sqlite/error.h"

namespace db::sqlite {
namespace {

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
  ResultText(context, dialect::FormatStored(value));
}

void ToChar(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string text;
  int rc = dialect::StoredToChar(TextOf(argv[0]), TextOf(argv[1]), text);
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
  int rc = dialect::ParseStored(TextOf(argv[0]), value);
  if (rc == status::kOk) rc = dialect::AddDays(value, sqlite3_value_double(argv[1]));
  if (rc != status::kOk) return ResultStatus(context, rc);
  ResultText(context, dialect::FormatStored(value));
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
