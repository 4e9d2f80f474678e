#include "db/postgresql/dialect.h"

#include <cctype>
#include <string_view>

#include "db/runtime/sql_scanner.h"

namespace db::postgresql {
namespace {

// Oracle's sysdate is the clock at the statement, whole seconds, in the server's local time;
// LOCALTIMESTAMP would be the start of a transaction that may have been open for long.
constexpr const char* kLocalNow = "date_trunc('second',statement_timestamp()::timestamp)";

constexpr std::string_view kAggregates[] = {"count", "max", "min", "sum", "avg"};

// "max(...)": an aggregate call and nothing else.
bool IsAggregateCall(const SqlScanner& scan, size_t begin, size_t end) {
  size_t nameEnd = scan.WordEnd(begin);
  bool known = false;
  for (std::string_view name : kAggregates) {
    known = known || EqualsIgnoringCase(scan.Text().substr(begin, nameEnd - begin), name);
  }
  size_t open = scan.SkipBlanks(nameEnd);
  if (!known || open >= end || scan.At(open) != '(') return false;
  return scan.GroupEnd(open) == end;  // `end` is trimmed
}

bool SelectListIsAggregatesOnly(const SqlScanner& scan, size_t begin, size_t end) {
  while (begin < end) {
    size_t comma = scan.TopLevelComma(begin, end);
    size_t itemBegin = scan.SkipBlanks(begin);
    size_t itemEnd = comma;
    while (itemEnd > itemBegin && IsSqlBlank(scan.At(itemEnd - 1))) --itemEnd;
    if (!IsAggregateCall(scan, itemBegin, itemEnd)) return false;
    begin = comma + 1;
  }
  return true;
}

// A select whose list holds aggregates only yields one row; its ORDER BY orders nothing, and
// PostgreSQL refuses the ungrouped columns in it.
std::string DropOrderOfAggregateSelect(const std::string& body) {
  SqlScanner scan(body);
  auto words = scan.TopLevelWords();
  auto is = [&](size_t k, std::string_view word) {
    return k < words.size() &&
           EqualsIgnoringCase(scan.Text().substr(words[k].begin, words[k].end - words[k].begin),
                              word);
  };
  if (!is(0, "select")) return body;
  size_t from = 0;
  size_t order = 0;
  for (size_t k = 1; k < words.size(); ++k) {
    if (from == 0 && is(k, "from")) from = k;
    if (is(k, "group") && is(k + 1, "by")) return body;
    if (order == 0 && is(k, "order") && is(k + 1, "by")) order = k;
  }
  if (from == 0 || order == 0 || order < from) return body;
  if (!SelectListIsAggregatesOnly(scan, words[0].end, words[from].begin)) return body;
  return std::string(TrimBlanks(std::string_view(body).substr(0, words[order].begin)));
}

class Adapter {
 public:
  Adapter(std::string_view text, Markers markers) : scan_(text), markers_(markers) {}

  PostgresText Run() {
    result_.sql = Sequence(0, scan_.Size());
    return std::move(result_);
  }

 private:
  SqlScanner scan_;
  Markers markers_;
  PostgresText result_;

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

  // Adapts [begin, end).
  std::string Sequence(size_t begin, size_t end) {
    std::string out;
    size_t i = begin;
    while (i < end) {
      char c = scan_.At(i);
      if (c == '\'' || c == '"') {
        size_t close = scan_.QuotedEnd(i);
        out.append(scan_.Text().substr(i, close - i));
        i = close;
      } else if (c == '?') {
        out += NextParameter();
        ++i;
      } else if (IsSqlWordStart(c) && (i == 0 || !IsSqlWordChar(scan_.At(i - 1)))) {
        i = Word(i, end, out);
      } else {
        out += c;
        ++i;
      }
    }
    return out;
  }

  // Adapts the word at `begin` (and a TO_DATE call that it opens); returns the position after.
  size_t Word(size_t begin, size_t end, std::string& out) {
    size_t wordEnd = scan_.WordEnd(begin);
    std::string_view word = scan_.Text().substr(begin, wordEnd - begin);
    bool qualified = begin > 0 && scan_.At(begin - 1) == '.';
    if (!qualified && EqualsIgnoringCase(word, "sysdate")) {
      out += kLocalNow;
      return wordEnd;
    }
    size_t open = scan_.SkipBlanks(wordEnd);
    if (!qualified && EqualsIgnoringCase(word, "to_date") && open < end && scan_.At(open) == '(') {
      size_t close = scan_.GroupEnd(open);
      if (close <= end) {
        out += ToDate(open, close);
        return close;
      }
    }
    out.append(word);
    return wordEnd;
  }

  // The call TO_DATE(...) with its parentheses at [open, close).
  std::string ToDate(size_t open, size_t close) {
    size_t inner = close - 1;  // the closing parenthesis
    size_t comma = scan_.TopLevelComma(open + 1, inner);
    std::string_view value = TrimBlanks(scan_.Text().substr(open + 1, comma - open - 1));
    std::string_view format = comma < inner
                                  ? TrimBlanks(scan_.Text().substr(comma + 1, inner - comma - 1))
                                  : std::string_view();
    DateModel model{};
    bool literal = format.size() >= 2 && format.front() == '\'' && format.back() == '\'';
    bool known = literal && DateModelFromFormat(format.substr(1, format.size() - 2), model);
    if (known && value == "?") {
      result_.dateInputs.push_back({result_.parameterCount, model});
      return NextParameter() + (model == DateModel::Day ? "::date" : "::timestamp");
    }
    std::string arguments = Sequence(open + 1, inner);
    bool withTime =
        known ? model == DateModel::Stamp : format.find_first_of("hH") != std::string_view::npos;
    if (withTime) return "to_timestamp(" + arguments + ")::timestamp";
    return "to_date(" + arguments + ")";
  }
};

}  // namespace

PostgresText AdaptToPostgres(const std::string& body, Markers markers) {
  std::string text = DropOrderOfAggregateSelect(body);
  return Adapter(text, markers).Run();
}

}  // namespace db::postgresql
