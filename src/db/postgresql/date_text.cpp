#include "db/postgresql/date_text.h"

#include <cctype>

#include "db/runtime/status.h"

namespace db::postgresql {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool DateModelFromFormat(std::string_view format, DateModel& model) {
  if (EqualsIgnoringCase(format, "yyyymmdd")) {
    model = DateModel::Day;
    return true;
  }
  if (EqualsIgnoringCase(format, "yyyymmddhh24miss")) {
    model = DateModel::Stamp;
    return true;
  }
  return false;
}

// Fields are read in the order of the model and checked in the order an Oracle server
// reports them: year, month, day, hour, minute, second.
int DateTextToIso(std::string_view text, DateModel model, std::string& iso) {
  size_t length = model == DateModel::Day ? 8 : 14;
  if (text.size() != length || !AllDigits(text)) return status::kDateFormatMismatch;
  int year = Number(text.substr(0, 4));
  int month = Number(text.substr(4, 2));
  int day = Number(text.substr(6, 2));
  int hour = model == DateModel::Stamp ? Number(text.substr(8, 2)) : 0;
  int minute = model == DateModel::Stamp ? Number(text.substr(10, 2)) : 0;
  int second = model == DateModel::Stamp ? Number(text.substr(12, 2)) : 0;
  if (year < 1) return status::kYearInvalid;
  if (month < 1 || month > 12) return status::kMonthInvalid;
  if (day < 1 || day > DaysInMonth(year, month)) return status::kDayOfMonthInvalid;
  if (hour > 23) return status::kHourInvalid;
  if (minute > 59) return status::kMinuteInvalid;
  if (second > 59) return status::kSecondInvalid;
  iso = std::string(text.substr(0, 4)) + "-" + std::string(text.substr(4, 2)) + "-" +
        std::string(text.substr(6, 2));
  if (model == DateModel::Stamp) {
    iso += " " + std::string(text.substr(8, 2)) + ":" + std::string(text.substr(10, 2)) + ":" +
           std::string(text.substr(12, 2));
  }
  return status::kOk;
}

}  // namespace db::postgresql
