#include "db/runtime/precompiler.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

#include "db/runtime/sql_scanner.h"
#include "db/status.h"

namespace db {
namespace {

// The meaningful tokens (no blanks, no comments) of the text, for the short statements of
// transaction control and the schema switch.
std::vector<SqlToken> Meaningful(const SqlTokens& tokens) {
  std::vector<SqlToken> words;
  for (const SqlToken& token : tokens) {
    if (!token.IsSpace()) words.push_back(token);
  }
  return words;
}

bool IsPlainName(const SqlToken& token) {
  return token.kind == SqlTokenKind::Word && IsPlainIdentifier(std::string(token.text).c_str());
}

// "SAVEPOINT S" / "ROLLBACK TO S": the name is the last word and the only one after `at`.
int ReadSavepointName(const std::vector<SqlToken>& words, size_t at, ParsedStatement& parsed) {
  if (words.size() != at + 1 || !IsPlainName(words[at])) return status::kInvalidCharacter;
  parsed.name = std::string(words[at].text);
  return status::kOk;
}

// "ALTER SESSION SET CURRENT_SCHEMA=S"
int ReadSchemaSwitch(const std::vector<SqlToken>& words, ParsedStatement& parsed) {
  if (words.size() != 6 || !words[1].Is("session") || !words[2].Is("set") ||
      !words[3].Is("current_schema") || !words[4].Is("=") || !IsPlainName(words[5])) {
    return status::kInvalidCharacter;
  }
  parsed.kind = ParsedStatement::Kind::SetSchema;
  parsed.name = std::string(words[5].text);
  return status::kOk;
}

int ReadControl(const SqlTokens& tokens, ParsedStatement& parsed) {
  std::vector<SqlToken> words = Meaningful(tokens);
  const SqlToken& first = words.front();
  if (first.Is("savepoint")) {
    parsed.kind = ParsedStatement::Kind::Savepoint;
    return ReadSavepointName(words, 1, parsed);
  }
  if (first.Is("rollback")) {
    parsed.kind = ParsedStatement::Kind::Rollback;
    if (words.size() == 1) return status::kOk;
    if (!words[1].Is("to")) return status::kInvalidCharacter;
    parsed.kind = ParsedStatement::Kind::RollbackTo;
    return ReadSavepointName(words, 2, parsed);
  }
  if (first.Is("commit")) {
    parsed.kind = ParsedStatement::Kind::Commit;
    return words.size() == 1 ? status::kOk : status::kInvalidCharacter;
  }
  return ReadSchemaSwitch(words, parsed);
}

// Reads the INTO list ":b0,:b1:b2, ..." after tokens[into], counting the variables (not their
// indicators); returns the index after the list and its trailing blanks.
size_t ReadIntoList(const SqlTokens& tokens, size_t into, int& count) {
  count = 0;
  size_t k = SkipSpace(tokens, into + 1);
  while (k < tokens.size() && tokens[k].kind == SqlTokenKind::HostVariable) {
    ++count;
    while (k < tokens.size() && tokens[k].kind == SqlTokenKind::HostVariable) ++k;
    k = SkipSpace(tokens, k);
    if (k == tokens.size() || !tokens[k].Is(",")) break;
    k = SkipSpace(tokens, k + 1);
  }
  return k;
}

// The text of [begin, end) with every host variable replaced by '?', counting them.
std::string MarkPlaceholders(const SqlTokens& tokens, size_t begin, size_t end, int& count) {
  std::string out;
  for (size_t k = begin; k < end; ++k) {
    if (tokens[k].kind == SqlTokenKind::HostVariable) {
      ++count;
      out += '?';
    } else {
      out.append(tokens[k].text);
    }
  }
  return out;
}

bool IsComparison(const SqlToken& token) {
  for (std::string_view op : {"=", "<>", "!=", "^=", "<", "<=", ">", ">="}) {
    if (token.Is(op)) return true;
  }
  return false;
}

bool IsDayCount(const SqlToken& token) {
  return token.kind == SqlTokenKind::Number || token.kind == SqlTokenKind::Marker ||
         token.kind == SqlTokenKind::HostVariable;
}

bool IsColumnName(const SqlToken& token) {
  return token.kind == SqlTokenKind::Word && !token.Is("sysdate");
}

// The side of a comparison that starts at tokens[k] is a date the runtime knows: a TO_DATE(...)
// call or sysdate.
bool StartsWithDate(const SqlTokens& tokens, size_t k) {
  if (tokens[k].Is("sysdate")) return true;
  size_t open = SkipSpace(tokens, k + 1);
  return tokens[k].Is("to_date") && open < tokens.size() && tokens[open].Is("(");
}

// The side of a comparison that ends at tokens[k] is sysdate or a TO_DATE(...) call.
bool EndsWithDate(const SqlTokens& tokens, size_t k) {
  if (tokens[k].Is("sysdate")) return true;
  if (!tokens[k].Is(")")) return false;
  int depth = 0;
  for (size_t j = k + 1; j-- > 0;) {
    if (tokens[j].Is(")")) ++depth;
    if (tokens[j].Is("(") && --depth == 0) {
      size_t name = PreviousMeaningful(tokens, j);
      return name < tokens.size() && tokens[name].Is("to_date");
    }
  }
  return false;
}

// "column +/- n" (the column possibly qualified) starts at tokens[k].
bool StartsWithColumnPlusDays(const SqlTokens& tokens, size_t k) {
  if (!IsColumnName(tokens[k])) return false;
  size_t at = SkipSpace(tokens, k + 1);
  while (at + 1 < tokens.size() && tokens[at].Is(".") && IsColumnName(tokens[at + 1])) {
    at = SkipSpace(tokens, at + 2);
  }
  if (at >= tokens.size() || !(tokens[at].Is("+") || tokens[at].Is("-"))) return false;
  size_t days = SkipSpace(tokens, at + 1);
  return days < tokens.size() && IsDayCount(tokens[days]);
}

// "column +/- n" ends at tokens[k] and is the whole left side of its comparison.
bool EndsWithColumnPlusDays(const SqlTokens& tokens, size_t k) {
  if (!IsDayCount(tokens[k])) return false;
  size_t op = PreviousMeaningful(tokens, k);
  if (op == tokens.size() || !(tokens[op].Is("+") || tokens[op].Is("-"))) return false;
  size_t name = PreviousMeaningful(tokens, op);
  if (name == tokens.size() || !IsColumnName(tokens[name])) return false;
  for (size_t dot = PreviousMeaningful(tokens, name);
       dot != tokens.size() && tokens[dot].Is(".");
       dot = PreviousMeaningful(tokens, name)) {
    name = PreviousMeaningful(tokens, dot);
    if (name == tokens.size() || !IsColumnName(tokens[name])) return false;
  }
  size_t before = PreviousMeaningful(tokens, name);
  if (before == tokens.size()) return true;
  for (std::string_view op2 : {"+", "-", "*", "/", "||"}) {
    if (tokens[before].Is(op2)) return false;  // part of a longer expression
  }
  return true;
}

// Days are added to a date only where the text shows one (TO_DATE(...) or sysdate). A column
// plus or minus a number compared with such a date is day arithmetic SQLite would apply to the
// stored text's year: refused rather than run wrongly. Without a date it stays integer arithmetic.
bool HasColumnDateArithmetic(const SqlTokens& tokens) {
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (!IsComparison(tokens[k])) continue;
    size_t left = PreviousMeaningful(tokens, k);
    size_t right = SkipSpace(tokens, k + 1);
    if (left == tokens.size() || right == tokens.size()) continue;
    if (StartsWithDate(tokens, right) && EndsWithColumnPlusDays(tokens, left)) return true;
    if (EndsWithDate(tokens, left) && StartsWithColumnPlusDays(tokens, right)) return true;
  }
  return false;
}

// FOR UPDATE outside parentheses.
bool LocksRows(const SqlTokens& tokens) {
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (tokens[k].Is("(")) {
      k = GroupEnd(tokens, k) - 1;
      continue;
    }
    size_t next = SkipSpace(tokens, k + 1);
    if (tokens[k].Is("for") && next < tokens.size() && tokens[next].Is("update")) return true;
  }
  return false;
}

}  // namespace

bool IsPlainIdentifier(const char* text) {
  size_t n = std::strlen(text);
  if (n == 0 || n > 30 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (size_t i = 1; i < n; ++i) {
    if (!IsSqlWordChar(text[i])) return false;
  }
  return true;
}

int Precompile(const char* text, ParsedStatement& parsed) {
  parsed = ParsedStatement{};
  parsed.text = text;
  SqlTokens tokens = TokenizeSql(TrimBlanks(text));
  size_t first = SkipSpace(tokens, 0);
  if (first == tokens.size()) return status::kInvalidCharacter;
  const SqlToken& verb = tokens[first];
  for (std::string_view control : {"savepoint", "rollback", "commit", "alter"}) {
    if (verb.Is(control)) return ReadControl(tokens, parsed);
  }
  bool query = verb.Is("select");
  bool modify = verb.Is("insert") || verb.Is("update") || verb.Is("delete");
  if (!query && !modify) return status::kInvalidCharacter;
  parsed.kind = query ? ParsedStatement::Kind::Query : ParsedStatement::Kind::Modify;
  if (HasColumnDateArithmetic(tokens)) return status::kInconsistentDatatypes;
  parsed.locksRows = query && LocksRows(tokens);

  size_t into = query ? TopLevel(tokens, 0, "into") : tokens.size();
  if (into == tokens.size()) {
    parsed.body = MarkPlaceholders(tokens, 0, tokens.size(), parsed.inputCount);
    return status::kOk;
  }
  size_t rest = ReadIntoList(tokens, into, parsed.intoCount);
  parsed.body = MarkPlaceholders(tokens, 0, into, parsed.inputCount) + " " +
                MarkPlaceholders(tokens, rest, tokens.size(), parsed.inputCount);
  return status::kOk;
}

}  // namespace db
