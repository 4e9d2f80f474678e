#include "db/dialect/sqlite_text.h"

#include <string_view>

#include "db/runtime/oracle_date.h"
#include "db/runtime/sql_scanner.h"

namespace db::dialect {
namespace {

constexpr const char* kLocalNow = "datetime('now','localtime')";

class Adapter {
 public:
  explicit Adapter(std::string_view text) : t_(TokenizeSql(text)) {}

  std::string Run() { return Sequence(t_.size()); }

 private:
  SqlTokens t_;
  size_t pos_ = 0;

  bool QualifiedBefore(size_t k) const { return k > 0 && t_[k - 1].Is("."); }

  // Adapts tokens [pos_, end) and leaves pos_ at end.
  std::string Sequence(size_t end) {
    std::string out;
    while (pos_ < end) {
      if (t_[pos_].kind == SqlTokenKind::Word) {
        out += Word(end);
      } else {
        out.append(t_[pos_++].text);
      }
    }
    return out;
  }

  // A word, or a date term with the arithmetic that follows it (up to `end`).
  std::string Word(size_t end) {
    size_t start = pos_++;
    const SqlToken& word = t_[start];
    size_t next = SkipBlanks(t_, pos_);
    bool call = next < t_.size() && t_[next].Is("(");
    std::string term;
    if (word.Is("sysdate") && !call && !QualifiedBefore(start)) {
      term = kLocalNow;
    } else if (word.Is("to_date") && call && !QualifiedBefore(start)) {
      term = std::string(word.text) + TokenText(t_, pos_, next);
      pos_ = next;
      term += Sequence(GroupEnd(t_, next));
    } else {
      return std::string(word.text);
    }
    return DateArithmetic(std::move(term), end);
  }

  std::string DateArithmetic(std::string term, size_t end) {
    for (;;) {
      size_t op = SkipBlanks(t_, pos_);
      if (op >= end || !(t_[op].Is("+") || t_[op].Is("-"))) return term;
      size_t operandStart = SkipBlanks(t_, op + 1);
      size_t operandEnd = OperandEnd(operandStart);
      if (operandEnd == operandStart || operandEnd > end) return term;
      bool minus = t_[op].Is("-");
      pos_ = operandStart;
      std::string operand = Sequence(operandEnd);
      term = "DATE_PLUS_DAYS(" + term + ", " + (minus ? "-(" + operand + ")" : operand) + ")";
    }
  }

  // End of a factor: sign, then '?', number, (qualified) name or call, or group.
  size_t FactorEnd(size_t at) const {
    if (at < t_.size() && (t_[at].Is("-") || t_[at].Is("+"))) at = SkipBlanks(t_, at + 1);
    if (at >= t_.size()) return at;
    const SqlToken& token = t_[at];
    if (token.kind == SqlTokenKind::Marker || token.kind == SqlTokenKind::Number) return at + 1;
    if (token.Is("(")) return GroupEnd(t_, at);
    if (token.kind != SqlTokenKind::Word) return at;
    ++at;
    while (at + 1 < t_.size() && t_[at].Is(".") && t_[at + 1].kind == SqlTokenKind::Word) at += 2;
    size_t next = SkipBlanks(t_, at);
    if (next < t_.size() && t_[next].Is("(")) return GroupEnd(t_, next);
    return at;
  }

  // A product of factors, which binds tighter than the date arithmetic around it.
  size_t OperandEnd(size_t at) const {
    size_t end = FactorEnd(at);
    if (end == at) return at;
    for (;;) {
      size_t op = SkipBlanks(t_, end);
      if (op >= t_.size() || !(t_[op].Is("*") || t_[op].Is("/"))) return end;
      size_t factor = SkipBlanks(t_, op + 1);
      size_t next = FactorEnd(factor);
      if (next == factor) return end;
      end = next;
    }
  }
};

// SqlTokens [begin, end) (trimmed) are TO_CHAR(<date>, '<model>') with a model the runtime knows:
// sets the two.
bool IsDeferrableToChar(const SqlTokens& t, size_t begin, size_t end, std::string& date,
                        std::string& format) {
  if (begin == end || !t[begin].Is("to_char")) return false;
  size_t open = SkipBlanks(t, begin + 1);
  if (open >= end || !t[open].Is("(") || GroupEnd(t, open) != end) return false;
  size_t inner = end - 1;  // the closing parenthesis
  size_t comma = TopLevelComma(t, open + 1, inner);
  if (comma == inner || TopLevelComma(t, comma + 1, inner) != inner) return false;
  auto [dateBegin, dateEnd] = Trimmed(t, open + 1, comma);
  auto [modelBegin, modelEnd] = Trimmed(t, comma + 1, inner);
  if (dateBegin == dateEnd || modelEnd != modelBegin + 1 ||
      t[modelBegin].kind != SqlTokenKind::Literal) {
    return false;
  }
  std::string_view model = t[modelBegin].text;
  if (model.size() < 2 || model.back() != '\'') return false;  // unterminated
  model = model.substr(1, model.size() - 2);
  std::string probe;
  if (model.find('\'') != std::string_view::npos ||
      FormatOracleDate(DateTime{}, model, probe) != 0) {
    return false;  // an unknown model fails the statement, as it always has
  }
  date = TokenText(t, dateBegin, dateEnd);
  format = std::string(model);
  return true;
}

// The select list with each TO_CHAR item replaced by its date, noted in `conversions`. A
// DISTINCT list stays as it is: it must compare the converted values.
std::string DeferSelectListConversions(const std::string& body,
                                       std::vector<FetchConversion>& conversions) {
  SqlTokens t = TokenizeSql(body);
  size_t select = SkipBlanks(t, 0);
  if (select == t.size() || !t[select].Is("select")) return body;
  size_t first = SkipSpace(t, select + 1);
  if (first < t.size() && (t[first].Is("distinct") || t[first].Is("unique"))) return body;
  size_t listEnd = t.size();
  for (size_t k = select + 1; k < t.size(); ++k) {
    if (t[k].Is("(")) k = GroupEnd(t, k) - 1;
    else if (t[k].Is("from")) {
      listEnd = k;
      break;
    }
  }
  std::string out = TokenText(t, 0, select + 1);
  size_t begin = select + 1;
  for (int column = 0;; ++column) {
    size_t comma = TopLevelComma(t, begin, listEnd);
    auto [itemBegin, itemEnd] = Trimmed(t, begin, comma);
    std::string date;
    std::string format;
    if (IsDeferrableToChar(t, itemBegin, itemEnd, date, format)) {
      out += TokenText(t, begin, itemBegin) + date + TokenText(t, itemEnd, comma);
      conversions.push_back({column, std::move(format)});
    } else {
      out += TokenText(t, begin, comma);
    }
    if (comma == listEnd) break;
    out += ',';
    begin = comma + 1;
  }
  out += TokenText(t, listEnd, t.size());
  return out;
}

// A select without its closing FOR UPDATE: SQLite has no row locks, and the write transaction
// a request runs in already keeps every other writer out.
std::string WithoutRowLock(const std::string& body) {
  SqlTokens t = TokenizeSql(body);
  size_t select = SkipSpace(t, 0);
  if (select == t.size() || !t[select].Is("select")) return body;
  size_t update = PreviousMeaningful(t, t.size());
  if (update == t.size() || !t[update].Is("update")) return body;
  size_t lock = PreviousMeaningful(t, update);
  if (lock == t.size() || lock <= select || !t[lock].Is("for")) return body;
  size_t keep = lock;
  while (keep > 0 && t[keep - 1].kind == SqlTokenKind::Blank) --keep;
  return TokenText(t, 0, keep) + TokenText(t, update + 1, t.size());
}

}  // namespace

DialectText AdaptToSqlite(const std::string& body) {
  DialectText text;
  std::string deferred = DeferSelectListConversions(WithoutRowLock(body), text.conversions);
  text.sql = Adapter(deferred).Run();
  return text;
}

}  // namespace db::dialect
