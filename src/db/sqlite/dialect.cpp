#include "db/sqlite/dialect.h"

#include <cctype>
#include <string_view>

#include "db/runtime/oracle_date.h"
#include "db/runtime/sql_scanner.h"

namespace db::sqlite {
namespace {

constexpr const char* kLocalNow = "datetime('now','localtime')";

class Adapter {
 public:
  explicit Adapter(std::string_view text) : s_(text), scan_(text) {}

  std::string Run() { return Sequence(s_.size()); }

 private:
  std::string_view s_;
  SqlScanner scan_;
  size_t pos_ = 0;

  size_t SkipBlanks(size_t at) const { return scan_.SkipBlanks(at); }
  size_t QuotedEnd(size_t at) const { return scan_.QuotedEnd(at); }
  size_t WordEnd(size_t at) const { return scan_.WordEnd(at); }
  size_t GroupEnd(size_t at) const { return scan_.GroupEnd(at); }
  bool QualifiedBefore(size_t at) const { return scan_.QualifiedBefore(at); }

  // Adapts s_[pos_, end) and leaves pos_ at end.
  std::string Sequence(size_t end) {
    std::string out;
    while (pos_ < end) {
      char c = s_[pos_];
      if (c == '\'' || c == '"') {
        size_t stop = QuotedEnd(pos_);
        out.append(s_.substr(pos_, stop - pos_));
        pos_ = stop;
      } else if (IsSqlWordStart(c)) {
        out += Word(end);
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        size_t stop = pos_;
        while (stop < s_.size() && (IsSqlWordChar(s_[stop]) || s_[stop] == '.')) ++stop;
        out.append(s_.substr(pos_, stop - pos_));
        pos_ = stop;
      } else {
        out += c;
        ++pos_;
      }
    }
    return out;
  }

  // A word, or a date term with the arithmetic that follows it (up to `end`).
  std::string Word(size_t end) {
    size_t start = pos_;
    size_t stop = WordEnd(pos_);
    std::string_view word = s_.substr(start, stop - start);
    size_t next = SkipBlanks(stop);
    bool call = next < s_.size() && s_[next] == '(';
    std::string term;
    if (EqualsIgnoringCase(word, "sysdate") && !call && !QualifiedBefore(start)) {
      term = kLocalNow;
      pos_ = stop;
    } else if (EqualsIgnoringCase(word, "to_date") && call && !QualifiedBefore(start)) {
      pos_ = stop;
      term = std::string(word) + Inner(next, GroupEnd(next));
    } else {
      pos_ = stop;
      return std::string(word);
    }
    return DateArithmetic(std::move(term), end);
  }

  // The text from pos_ to `from` as it stands, then [from, to) adapted.
  std::string Inner(size_t from, size_t to) {
    std::string out(s_.substr(pos_, from - pos_));
    pos_ = from;
    out += Sequence(to);
    return out;
  }

  std::string DateArithmetic(std::string term, size_t end) {
    for (;;) {
      size_t op = SkipBlanks(pos_);
      if (op >= end || (s_[op] != '+' && s_[op] != '-')) return term;
      if (s_[op] == '-' && op + 1 < end && s_[op + 1] == '-') return term;  // a comment
      size_t operandStart = SkipBlanks(op + 1);
      size_t operandEnd = OperandEnd(operandStart);
      if (operandEnd == operandStart || operandEnd > end) return term;
      bool minus = s_[op] == '-';
      pos_ = operandStart;
      std::string operand = Sequence(operandEnd);
      term = "DATE_PLUS_DAYS(" + term + ", " + (minus ? "-(" + operand + ")" : operand) + ")";
    }
  }

  // End of a factor: sign, then '?', number, (qualified) name or call, or group.
  size_t FactorEnd(size_t at) const {
    if (at < s_.size() && (s_[at] == '-' || s_[at] == '+')) at = SkipBlanks(at + 1);
    if (at >= s_.size()) return at;
    char c = s_[at];
    if (c == '?') return at + 1;
    if (c == '(') return GroupEnd(at);
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      while (at < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[at])) || s_[at] == '.')) ++at;
      return at;
    }
    if (!IsSqlWordStart(c)) return at;
    at = WordEnd(at);
    while (at + 1 < s_.size() && s_[at] == '.' && IsSqlWordStart(s_[at + 1])) at = WordEnd(at + 1);
    size_t next = SkipBlanks(at);
    if (next < s_.size() && s_[next] == '(') return GroupEnd(next);
    return at;
  }

  // A product of factors, which binds tighter than the date arithmetic around it.
  size_t OperandEnd(size_t at) const {
    size_t end = FactorEnd(at);
    if (end == at) return at;
    for (;;) {
      size_t op = SkipBlanks(end);
      if (op >= s_.size() || (s_[op] != '*' && s_[op] != '/')) return end;
      size_t next = FactorEnd(SkipBlanks(op + 1));
      if (next == SkipBlanks(op + 1)) return end;
      end = next;
    }
  }
};

// `item` (trimmed) is TO_CHAR(<date>, '<model>') with a model the runtime knows: sets the two.
bool IsDeferrableToChar(std::string_view item, std::string_view& date, std::string& format) {
  SqlScanner scan(item);
  size_t nameEnd = scan.WordEnd(0);
  if (!EqualsIgnoringCase(item.substr(0, nameEnd), "to_char")) return false;
  size_t open = scan.SkipBlanks(nameEnd);
  if (open >= item.size() || item[open] != '(' || scan.GroupEnd(open) != item.size()) return false;
  size_t inner = item.size() - 1;  // the closing parenthesis
  size_t comma = scan.TopLevelComma(open + 1, inner);
  if (comma == inner || scan.TopLevelComma(comma + 1, inner) != inner) return false;
  date = TrimBlanks(item.substr(open + 1, comma - open - 1));
  std::string_view model = TrimBlanks(item.substr(comma + 1, inner - comma - 1));
  if (date.empty() || model.size() < 2 || model.front() != '\'' || model.back() != '\'') return false;
  model = model.substr(1, model.size() - 2);
  std::string probe;
  if (model.find('\'') != std::string_view::npos ||
      FormatOracleDate(DateTime{}, model, probe) != 0) {
    return false;  // an unknown model fails the statement, as it always has
  }
  format = std::string(model);
  return true;
}

// The select list with each TO_CHAR item replaced by its date, noted in `conversions`. A
// DISTINCT list stays as it is: it must compare the converted values.
std::string DeferSelectListConversions(const std::string& body,
                                       std::vector<FetchConversion>& conversions) {
  SqlScanner scan(body);
  std::vector<SqlScanner::Word> words = scan.TopLevelWords();
  auto wordIs = [&](size_t k, std::string_view lower) {
    return k < words.size() &&
           EqualsIgnoringCase(scan.Text().substr(words[k].begin, words[k].end - words[k].begin), lower);
  };
  if (!wordIs(0, "select") || words[0].begin != scan.SkipBlanks(0) || wordIs(1, "distinct") ||
      wordIs(1, "unique")) {
    return body;
  }
  size_t listEnd = body.size();
  for (size_t k = 1; k < words.size(); ++k) {
    if (wordIs(k, "from")) {
      listEnd = words[k].begin;
      break;
    }
  }
  std::string out = body.substr(0, words[0].end);
  size_t begin = words[0].end;
  for (int column = 0;; ++column) {
    size_t comma = scan.TopLevelComma(begin, listEnd);
    std::string_view item = scan.Text().substr(begin, comma - begin);
    std::string_view trimmed = TrimBlanks(item);
    std::string_view date;
    std::string format;
    if (IsDeferrableToChar(trimmed, date, format)) {
      size_t leading = static_cast<size_t>(trimmed.data() - item.data());
      out.append(item.substr(0, leading));
      out.append(date);
      out.append(item.substr(leading + trimmed.size()));
      conversions.push_back({column, std::move(format)});
    } else {
      out.append(item);
    }
    if (comma == listEnd) break;
    out += ',';
    begin = comma + 1;
  }
  out.append(body, listEnd, std::string::npos);
  return out;
}

}  // namespace

SqliteText AdaptDialect(const std::string& body) {
  SqliteText text;
  std::string deferred = DeferSelectListConversions(body, text.conversions);
  text.sql = Adapter(deferred).Run();
  return text;
}

}  // namespace db::sqlite
