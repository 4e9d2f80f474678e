#include "db/sqlite/unchanged_keys.h"

#include <string_view>

#include "db/runtime/letter_case.h"
#include "db/runtime/sql_scanner.h"

namespace db::sqlite {
namespace {

// "col = expr": the column's token and the expression's tokens (blanks and comments left out).
struct Equality {
  std::string_view column;
  std::vector<size_t> expression;
  size_t begin = 0;  // the item's first token (set list)
  size_t end = 0;    // past its last token (set list)
};

// Words that would make an equality of the where clause something other than a condition
// every updated row meets as written: another connective, a collation of its own, a query.
bool BarsConjunction(const SqlToken& token) {
  static constexpr std::string_view kBarred[] = {
      "or", "not", "between", "in", "like", "glob", "is", "case", "select", "exists",
      "collate", "escape", "match", "regexp"};
  if (token.kind != SqlTokenKind::Word) return false;
  for (std::string_view word : kBarred) {
    if (token.Is(word)) return true;
  }
  return false;
}

// The significant tokens of [begin, end).
std::vector<size_t> Significant(const std::vector<SqlToken>& tokens, size_t begin, size_t end) {
  std::vector<size_t> kept;
  for (size_t k = begin; k < end; ++k) {
    if (!tokens[k].IsSpace()) kept.push_back(k);
  }
  return kept;
}

// The items of a set list: split at the commas outside parentheses.
bool ReadSetList(const std::vector<SqlToken>& tokens, size_t begin, size_t end,
                 std::vector<Equality>& items) {
  for (size_t start = begin; start <= end;) {
    size_t comma = TopLevelComma(tokens, start, end);
    std::vector<size_t> item = Significant(tokens, start, comma);
    if (item.size() < 3 || tokens[item[0]].kind != SqlTokenKind::Word || !tokens[item[1]].Is("=")) {
      return false;
    }
    items.push_back({tokens[item[0]].text, {item.begin() + 2, item.end()}, start, comma});
    start = comma + 1;
  }
  return true;
}

// Every grouping parenthesis opens after the clause's start, "(" or "and" and closes before its
// end, ")" or "and": the clause is a conjunction, no group is compared or computed with.
bool OnlyGroupsOfTerms(const std::vector<SqlToken>& tokens, const std::vector<size_t>& where) {
  std::vector<bool> grouping;  // per open parenthesis
  for (size_t i = 0; i < where.size(); ++i) {
    const SqlToken& token = tokens[where[i]];
    const SqlToken* before = i > 0 ? &tokens[where[i - 1]] : nullptr;
    const SqlToken* after = i + 1 < where.size() ? &tokens[where[i + 1]] : nullptr;
    if (token.Is("(")) {
      bool call = before != nullptr && before->kind == SqlTokenKind::Word && !before->Is("and");
      bool termPlace = before == nullptr || before->Is("(") || before->Is("and");
      if (!call && !termPlace) return false;
      grouping.push_back(!call);
    } else if (token.Is(")")) {
      if (grouping.empty()) return false;
      bool group = grouping.back();
      grouping.pop_back();
      if (group && after != nullptr && !after->Is(")") && !after->Is("and")) return false;
    }
  }
  return grouping.empty();
}

// The equalities "col = expr" that stand as terms of the where clause's conjunction: each
// preceded by "(", "and" or the clause's start and ended by "and" or a ")" of its level.
bool ReadConjunction(const std::vector<SqlToken>& tokens, size_t begin,
                     std::vector<Equality>& terms) {
  std::vector<size_t> where = Significant(tokens, begin, tokens.size());
  for (size_t k : where) {
    if (BarsConjunction(tokens[k])) return false;
  }
  if (!OnlyGroupsOfTerms(tokens, where)) return false;
  for (size_t i = 0; i + 2 < where.size(); ++i) {
    bool termStart = i == 0 || tokens[where[i - 1]].Is("(") || tokens[where[i - 1]].Is("and");
    if (!termStart || tokens[where[i]].kind != SqlTokenKind::Word || tokens[where[i]].Is("and") ||
        !tokens[where[i + 1]].Is("=")) {
      continue;
    }
    Equality term{tokens[where[i]].text, {}, 0, 0};
    int depth = 0;
    for (size_t j = i + 2; j < where.size(); ++j) {
      const SqlToken& token = tokens[where[j]];
      if (depth == 0 && (token.Is("and") || token.Is(")"))) break;
      if (token.Is("(")) ++depth;
      if (token.Is(")")) --depth;
      term.expression.push_back(where[j]);
    }
    if (!term.expression.empty()) terms.push_back(std::move(term));
  }
  return true;
}

// An expression of inputs and literals, through TO_DATE at most: the same value for every row
// and at every moment of the statement, unlike a column, sysdate or an unknown function.
bool OfInputsOnly(const std::vector<SqlToken>& tokens, const std::vector<size_t>& expression) {
  bool input = false;
  for (size_t k : expression) {
    const SqlToken& token = tokens[k];
    if (token.kind == SqlTokenKind::Marker) input = true;
    if (token.kind == SqlTokenKind::Word && !token.Is("to_date")) return false;
    if (token.kind == SqlTokenKind::QuotedName || token.kind == SqlTokenKind::HostVariable) {
      return false;
    }
  }
  return input;
}

// The same expression, inputs aside: their positions pair up in `pairs`.
bool SameExpression(const std::vector<SqlToken>& tokens, const std::vector<int>& inputOf,
                    const Equality& set, const Equality& where,
                    std::vector<std::pair<int, int>>& pairs) {
  if (set.expression.size() != where.expression.size()) return false;
  std::vector<std::pair<int, int>> found;
  for (size_t k = 0; k < set.expression.size(); ++k) {
    const SqlToken& a = tokens[set.expression[k]];
    const SqlToken& b = tokens[where.expression[k]];
    if (a.kind != b.kind) return false;
    if (a.kind == SqlTokenKind::Marker) {
      found.emplace_back(inputOf[set.expression[k]], inputOf[where.expression[k]]);
    } else if (a.kind == SqlTokenKind::Word ? !SameIgnoringCase(a.text, b.text) : a.text != b.text) {
      return false;
    }
  }
  pairs.insert(pairs.end(), found.begin(), found.end());
  return true;
}

}  // namespace

bool FindUnchangedKeys(const std::string& body, UnchangedKeys& found) {
  std::vector<SqlToken> tokens = TokenizeSql(body);
  std::vector<int> inputOf(tokens.size(), -1);
  int inputs = 0;
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (tokens[k].kind == SqlTokenKind::Marker) inputOf[k] = inputs++;
  }
  std::vector<size_t> head = Significant(tokens, 0, tokens.size());
  if (head.size() < 4 || !tokens[head[0]].Is("update") ||
      tokens[head[1]].kind != SqlTokenKind::Word || !tokens[head[2]].Is("set")) {
    return false;
  }
  size_t setBegin = head[2] + 1;
  size_t where = TopLevel(tokens, setBegin, "where");
  std::vector<Equality> items;
  std::vector<Equality> terms;
  if (where == tokens.size() || !ReadSetList(tokens, setBegin, where, items) ||
      !ReadConjunction(tokens, where + 1, terms)) {
    return false;
  }

  UnchangedKeys result;
  result.table = std::string(tokens[head[1]].text);
  std::vector<bool> dropped(items.size(), false);
  std::vector<bool> droppedInput(static_cast<size_t>(inputs), false);
  size_t dropCount = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    for (const Equality& term : terms) {
      if (!SameIgnoringCase(items[i].column, term.column) || !OfInputsOnly(tokens, term.expression) ||
          !SameExpression(tokens, inputOf, items[i], term, result.equal)) {
        continue;
      }
      dropped[i] = true;
      result.columns.emplace_back(items[i].column);
      ++dropCount;
      for (size_t k : items[i].expression) {
        if (inputOf[k] >= 0) droppedInput[static_cast<size_t>(inputOf[k])] = true;
      }
      break;
    }
  }
  if (dropCount == 0 || dropCount == items.size()) return false;

  // The text without the dropped items, each kept one as written.
  std::string text = body.substr(0, static_cast<size_t>(tokens[setBegin].text.data() - body.data()));
  const char* separator = " ";
  for (size_t i = 0; i < items.size(); ++i) {
    if (dropped[i]) continue;
    text += separator;
    separator = ",";
    std::vector<size_t> item = Significant(tokens, items[i].begin, items[i].end);
    for (size_t k = item.front(); k <= item.back(); ++k) text.append(tokens[k].text);
  }
  text += " ";
  for (size_t k = where; k < tokens.size(); ++k) text.append(tokens[k].text);
  result.body = std::move(text);
  for (int k = 0; k < inputs; ++k) {
    if (!droppedInput[static_cast<size_t>(k)]) result.kept.push_back(k);
  }
  found = std::move(result);
  return true;
}

}  // namespace db::sqlite
