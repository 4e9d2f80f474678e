#include "db/dialect/postgresql.h"

#include <string_view>

#include "db/runtime/oracle_date.h"
#include "db/runtime/sql_scanner.h"
#include "db/status.h"

namespace db::dialect {
namespace {

constexpr std::string_view kDayFormat = "yyyymmdd";
constexpr std::string_view kStampFormat = "yyyymmddhh24miss";

// The model named by a format literal (any case), if it is one of the two.
bool DateModelFromFormat(std::string_view format, DateModel& model) {
  if (SameIgnoringCase(format, kDayFormat)) {
    model = DateModel::Day;
    return true;
  }
  if (SameIgnoringCase(format, kStampFormat)) {
    model = DateModel::Stamp;
    return true;
  }
  return false;
}

// Oracle's sysdate is the clock at the statement, whole seconds, in the server's local time;
// LOCALTIMESTAMP would be the start of a transaction that may have been open for long.
constexpr const char* kLocalNow = "date_trunc('second',statement_timestamp()::timestamp)";

constexpr std::string_view kAggregates[] = {"count", "max", "min", "sum", "avg"};

// "max(...)": an aggregate call and nothing else in [begin, end).
bool IsAggregateCall(const SqlTokens& tokens, size_t begin, size_t end) {
  while (begin < end && tokens[begin].IsSpace()) ++begin;
  while (end > begin && tokens[end - 1].IsSpace()) --end;
  if (begin == end) return false;
  bool known = false;
  for (std::string_view name : kAggregates) known = known || tokens[begin].Is(name);
  size_t open = SkipBlanks(tokens, begin + 1);
  if (!known || open >= end || !tokens[open].Is("(")) return false;
  return GroupEnd(tokens, open) == end;
}

bool SelectListIsAggregatesOnly(const SqlTokens& tokens, size_t begin, size_t end) {
  while (begin < end) {
    size_t comma = TopLevelComma(tokens, begin, end);
    if (!IsAggregateCall(tokens, begin, comma)) return false;
    begin = comma + 1;
  }
  return true;
}

// What may follow an ORDER BY clause in a select, and so ends it.
bool EndsOrderBy(const SqlToken& token) {
  for (std::string_view word : {"for", "limit", "offset", "fetch"}) {
    if (token.Is(word)) return true;
  }
  return false;
}

// A select whose list holds aggregates only yields one row; its ORDER BY orders nothing, and
// PostgreSQL refuses the ungrouped columns in it. The clause goes, what follows it stays.
std::string DropOrderOfAggregateSelect(const std::string& body) {
  SqlTokens t = TokenizeSql(body);
  size_t select = SkipSpace(t, 0);
  if (select == t.size() || !t[select].Is("select")) return body;
  size_t from = 0;
  size_t order = 0;
  size_t orderEnd = t.size();
  for (size_t k = select + 1; k < t.size(); ++k) {
    if (t[k].Is("(")) {
      k = GroupEnd(t, k) - 1;
      continue;
    }
    size_t next = SkipSpace(t, k + 1);
    bool by = next < t.size() && t[next].Is("by");
    if (from == 0 && t[k].Is("from")) from = k;
    if (t[k].Is("group") && by) return body;
    if (order == 0 && t[k].Is("order") && by) order = k;
    if (order != 0 && orderEnd == t.size() && EndsOrderBy(t[k])) orderEnd = k;
  }
  if (from == 0 || order == 0 || order < from) return body;
  if (!SelectListIsAggregatesOnly(t, select + 1, from)) return body;
  auto [begin, end] = Trimmed(t, 0, order);
  std::string kept = TokenText(t, begin, end);
  if (orderEnd < t.size()) {
    kept += ' ';
    kept += TokenText(t, orderEnd, t.size());
  }
  return kept;
}

class Adapter {
 public:
  Adapter(std::string_view text, Markers markers) : t_(TokenizeSql(text)), markers_(markers) {}

  DialectText Run() {
    result_.sql = Sequence(0, t_.size());
    return std::move(result_);
  }

 private:
  SqlTokens t_;
  Markers markers_;
  DialectText result_;

  // Appended rather than "$" + number: GCC 12 at -O3 takes the prepend for an overlapping copy
  // (a false -Wrestrict).
  std::string NextParameter() {
    if (markers_ == Markers::Question) {
      ++result_.parameterCount;
      return "?";
    }
    std::string parameter = "$";
    parameter += std::to_string(++result_.parameterCount);
    return parameter;
  }

  // Adapts tokens [begin, end).
  std::string Sequence(size_t begin, size_t end) {
    std::string out;
    size_t k = begin;
    while (k < end) {
      if (t_[k].kind == SqlTokenKind::Marker) {
        out += NextParameter();
        ++k;
      } else if (t_[k].kind == SqlTokenKind::Word) {
        k = Word(k, end, out);
      } else {
        out.append(t_[k++].text);
      }
    }
    return out;
  }

  // Adapts the word at `k` (and a TO_DATE call that it opens); returns the index after.
  size_t Word(size_t k, size_t end, std::string& out) {
    const SqlToken& word = t_[k];
    bool qualified = k > 0 && t_[k - 1].Is(".");
    if (!qualified && word.Is("sysdate")) {
      out += kLocalNow;
      return k + 1;
    }
    size_t open = SkipBlanks(t_, k + 1);
    if (!qualified && word.Is("to_date") && open < end && t_[open].Is("(")) {
      size_t close = GroupEnd(t_, open);
      if (close <= end) {
        out += ToDate(open, close);
        return close;
      }
    }
    out.append(word.text);
    return k + 1;
  }

  // The call TO_DATE(...) with its parentheses at tokens [open, close).
  std::string ToDate(size_t open, size_t close) {
    size_t inner = close - 1;  // the closing parenthesis
    size_t comma = TopLevelComma(t_, open + 1, inner);
    auto [valueBegin, valueEnd] = Trimmed(t_, open + 1, comma);
    auto [formatBegin, formatEnd] = Trimmed(t_, comma < inner ? comma + 1 : inner, inner);
    std::string_view format;
    if (formatEnd == formatBegin + 1 && t_[formatBegin].kind == SqlTokenKind::Literal &&
        t_[formatBegin].text.size() >= 2 && t_[formatBegin].text.back() == '\'') {
      format = t_[formatBegin].text.substr(1, t_[formatBegin].text.size() - 2);
    }
    DateModel model{};
    bool known = DateModelFromFormat(format, model);
    bool marker = valueEnd == valueBegin + 1 && t_[valueBegin].kind == SqlTokenKind::Marker;
    if (known && marker) {
      result_.dateInputs.push_back({result_.parameterCount, model});
      return NextParameter() + (model == DateModel::Day ? "::date" : "::timestamp");
    }
    std::string arguments = Sequence(open + 1, inner);
    bool withTime = known ? model == DateModel::Stamp : FormatHasTimeOfDay(format);
    if (withTime) return "to_timestamp(" + arguments + ")::timestamp";
    return "to_date(" + arguments + ")";
  }
};

}  // namespace

int DateTextToIso(std::string_view text, DateModel model, std::string& iso) {
  bool day = model == DateModel::Day;
  DateTime value;
  int rc = ParseOracleDate(text, day ? kDayFormat : kStampFormat, value);
  if (rc != status::kOk) return rc;
  return FormatOracleDate(value, day ? "yyyy-mm-dd" : "yyyy-mm-dd hh24:mi:ss", iso);
}

DialectText AdaptToPostgres(const std::string& body, Markers markers) {
  std::string text = DropOrderOfAggregateSelect(body);
  return Adapter(text, markers).Run();
}

}  // namespace db::dialect
