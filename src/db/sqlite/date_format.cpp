#include "db/sqlite/date_format.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "db/runtime/status.h"

namespace db::sqlite {
namespace {

enum class Element { Year, Month, Day, Hour, Minute, Second, Literal };

struct Token {
  Element element;
  std::string literal;  // Literal only
};

struct ElementName {
  const char* name;
  Element element;
};

// Longest names first, so that HH24 is not read as an unknown HH.
constexpr ElementName kElements[] = {
    {"yyyy", Element::Year}, {"hh24", Element::Hour}, {"mm", Element::Month},
    {"dd", Element::Day},    {"mi", Element::Minute}, {"ss", Element::Second},
};

int Width(Element element) { return element == Element::Year ? 4 : 2; }

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

bool IsSeparator(char c) {
  return c == '-' || c == '/' || c == ',' || c == '.' || c == ';' || c == ':' || c == ' ';
}

int Tokenize(std::string_view format, std::vector<Token>& tokens) {
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (IsSeparator(c)) {
      tokens.push_back({Element::Literal, std::string(1, c)});
      ++i;
      continue;
    }
    if (c == '"') {
      size_t end = format.find('"', i + 1);
      if (end == std::string_view::npos) return status::kDateFormatUnknown;
      tokens.push_back({Element::Literal, std::string(format.substr(i + 1, end - i - 1))});
      i = end + 1;
      continue;
    }
    bool known = false;
    for (const ElementName& candidate : kElements) {
      std::string_view name = candidate.name;
      if (StartsWithIgnoringCase(format.substr(i), name)) {
        tokens.push_back({candidate.element, {}});
        i += name.size();
        known = true;
        break;
      }
    }
    if (!known) return status::kDateFormatUnknown;
  }
  return status::kOk;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Range checks in the order an Oracle server reports them.
int Validate(const DateTime& value) {
  if (value.year < 1 || value.year > 9999) return status::kYearInvalid;
  if (value.month < 1 || value.month > 12) return status::kMonthInvalid;
  if (value.day < 1 || value.day > DaysInMonth(value.year, value.month)) {
    return status::kDayOfMonthInvalid;
  }
  if (value.hour > 23) return status::kHourInvalid;
  if (value.minute > 59) return status::kMinuteInvalid;
  if (value.second > 59) return status::kSecondInvalid;
  return status::kOk;
}

int* Field(DateTime& value, Element element) {
  switch (element) {
    case Element::Year: return &value.year;
    case Element::Month: return &value.month;
    case Element::Day: return &value.day;
    case Element::Hour: return &value.hour;
    case Element::Minute: return &value.minute;
    case Element::Second: return &value.second;
    case Element::Literal: break;
  }
  return nullptr;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

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

DateTime TodayDefaults() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTime value;
  value.year = local.tm_year + 1900;
  value.month = local.tm_mon + 1;
  value.day = 1;
  return value;
}

}  // namespace

int ParseByFormat(std::string_view text, std::string_view format, DateTime& value) {
  std::vector<Token> tokens;
  int rc = Tokenize(format, tokens);
  if (rc != status::kOk) return rc;
  DateTime parsed = TodayDefaults();
  size_t pos = 0;
  for (const Token& token : tokens) {
    if (token.element == Element::Literal) {
      if (text.substr(pos, token.literal.size()) != token.literal) {
        return status::kDateFormatMismatch;
      }
      pos += token.literal.size();
      continue;
    }
    int width = Width(token.element);
    int number = 0;
    for (int k = 0; k < width; ++k, ++pos) {
      if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) {
        return status::kDateFormatMismatch;
      }
      number = number * 10 + (text[pos] - '0');
    }
    *Field(parsed, token.element) = number;
  }
  if (pos != text.size()) return status::kDateFormatMismatch;
  rc = Validate(parsed);
  if (rc != status::kOk) return rc;
  value = parsed;
  return status::kOk;
}

int FormatByFormat(const DateTime& value, std::string_view format, std::string& text) {
  std::vector<Token> tokens;
  int rc = Tokenize(format, tokens);
  if (rc != status::kOk) return rc;
  text.clear();
  DateTime copy = value;
  for (const Token& token : tokens) {
    if (token.element == Element::Literal) {
      text += token.literal;
      continue;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*d", Width(token.element),
                  *Field(copy, token.element));
    text += digits;
  }
  return status::kOk;
}

int ParseStored(std::string_view text, DateTime& value) {
  if (text.size() == 10) return ParseByFormat(text, "yyyy-mm-dd", value);
  return ParseByFormat(text, "yyyy-mm-dd hh24:mi:ss", value);
}

std::string FormatStored(const DateTime& value) {
  std::string text;
  FormatByFormat(value, "yyyy-mm-dd hh24:mi:ss", text);
  return text;
}

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

}  // namespace db::sqlite
