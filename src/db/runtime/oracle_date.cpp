#include "db/runtime/oracle_date.h"

#include <cctype>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "db/runtime/letter_case.h"
#include "db/status.h"
#include "platform/local_time.h"

namespace db {
namespace {

enum class Element { Year, Month, Day, Hour, Minute, Second, Literal };

struct Token {
  Element element;
  std::string literal;  // Literal only
};

struct ElementName {
  std::string_view name;
  Element element;
};

// Longest names first, so that HH24 is not read as an unknown HH.
constexpr ElementName kElements[] = {
    {"yyyy", Element::Year}, {"hh24", Element::Hour}, {"mm", Element::Month},
    {"dd", Element::Day},    {"mi", Element::Minute}, {"ss", Element::Second},
};

int Width(Element element) { return element == Element::Year ? 4 : 2; }

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
      if (SameIgnoringCase(format.substr(i, candidate.name.size()), candidate.name)) {
        tokens.push_back({candidate.element, {}});
        i += candidate.name.size();
        known = true;
        break;
      }
    }
    if (!known) return status::kDateFormatUnknown;
  }
  return status::kOk;
}

// The same few format models come with every row: each is taken apart once and kept. The
// tokens stay valid until the next call.
int TokensOf(std::string_view format, const std::vector<Token>*& tokens) {
  static std::vector<std::pair<std::string, std::vector<Token>>> known;
  for (const auto& [text, parsed] : known) {
    if (text == format) {
      tokens = &parsed;
      return status::kOk;
    }
  }
  std::vector<Token> parsed;
  int rc = Tokenize(format, parsed);
  if (rc != status::kOk) return rc;
  constexpr size_t kKept = 16;  // far more than the program's statements use
  if (known.size() == kKept) known.erase(known.begin());
  known.emplace_back(std::string(format), std::move(parsed));
  tokens = &known.back().second;
  return status::kOk;
}

// `number` with leading zeros to `width` (2 or 4) digits. Runs for every date a statement
// converts, so the usual case goes without a formatting library.
void AppendDigits(std::string& text, int number, int width) {
  if (number < 0 || number >= (width == 4 ? 10000 : 100)) {
    text += std::to_string(number);  // out of any valid range; shown whole, never cut
    return;
  }
  char digits[4];
  for (int k = width - 1; k >= 0; --k) {
    digits[k] = static_cast<char>('0' + number % 10);
    number /= 10;
  }
  text.append(digits, static_cast<size_t>(width));
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

// The field of each element but Literal, in the order of Element.
constexpr int DateTime::*kFields[] = {&DateTime::year, &DateTime::month,  &DateTime::day,
                                      &DateTime::hour, &DateTime::minute, &DateTime::second};

int DateTime::*FieldOf(Element element) { return kFields[static_cast<size_t>(element)]; }

// What a format leaves out: the current year and month, day 1, midnight. The clock is read
// only for a format without year or month, not for every value converted.
DateTime Defaults(const std::vector<Token>& tokens) {
  DateTime value;
  value.day = 1;
  bool year = false, month = false;
  for (const Token& token : tokens) {
    year = year || token.element == Element::Year;
    month = month || token.element == Element::Month;
  }
  if (year && month) return value;
  const std::tm local = platform::LocalTime(std::time(nullptr));
  value.year = local.tm_year + 1900;
  value.month = local.tm_mon + 1;
  return value;
}

}  // namespace

int ParseOracleDate(std::string_view text, std::string_view format, DateTime& value) {
  const std::vector<Token>* tokens = nullptr;
  int rc = TokensOf(format, tokens);
  if (rc != status::kOk) return rc;
  DateTime parsed = Defaults(*tokens);
  size_t pos = 0;
  for (const Token& token : *tokens) {
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
    parsed.*FieldOf(token.element) = number;
  }
  if (pos != text.size()) return status::kDateFormatMismatch;
  rc = Validate(parsed);
  if (rc != status::kOk) return rc;
  value = parsed;
  return status::kOk;
}

int FormatOracleDate(const DateTime& value, std::string_view format, std::string& text) {
  const std::vector<Token>* tokens = nullptr;
  int rc = TokensOf(format, tokens);
  if (rc != status::kOk) return rc;
  text.clear();
  for (const Token& token : *tokens) {
    if (token.element == Element::Literal) {
      text += token.literal;
      continue;
    }
    AppendDigits(text, value.*FieldOf(token.element), Width(token.element));
  }
  return status::kOk;
}

namespace {

// Oracle's format elements, longest first so that each is read whole: MONTH is not MON + TH,
// SSSSS not SS + SS. A digit or letter run that matches none is skipped a character at a time.
constexpr std::string_view kModelElements[] = {
    "sssss", "syyyy", "month", "hh24", "hh12", "yyyy", "iyyy", "rrrr", "year", "a.m.", "p.m.",
    "b.c.", "a.d.", "yyy", "iyy", "ddd", "mon", "day", "scc", "hh", "mi", "ss", "ff", "am",
    "pm", "yy", "iy", "rr", "mm", "dd", "dy", "ww", "iw", "cc", "bc", "ad", "th", "sp", "fm",
    "fx", "ee", "y", "i", "q", "w", "d", "j", "e"};

bool IsTimeOfDayElement(std::string_view element) {
  for (std::string_view time :
       {"sssss", "hh24", "hh12", "hh", "mi", "ss", "ff", "am", "pm", "a.m.", "p.m."}) {
    if (element == time) return true;
  }
  return false;
}

}  // namespace

bool FormatHasTimeOfDay(std::string_view format) {
  size_t i = 0;
  while (i < format.size()) {
    if (format[i] == '"') {  // quoted text is not an element
      size_t end = format.find('"', i + 1);
      i = end == std::string_view::npos ? format.size() : end + 1;
      continue;
    }
    std::string_view element;
    for (std::string_view candidate : kModelElements) {
      if (SameIgnoringCase(format.substr(i, candidate.size()), candidate)) {
        element = candidate;
        break;
      }
    }
    if (IsTimeOfDayElement(element)) return true;
    i += element.empty() ? 1 : element.size();
  }
  return false;
}

}  // namespace db
