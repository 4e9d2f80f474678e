#include "db/runtime/sql_scanner.h"

#include <cctype>

namespace db {

namespace {

bool IsSqlWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

bool IsSqlBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Position after the quoted text that starts at `at`; a doubled quote stays inside.
size_t QuotedEnd(std::string_view s, size_t at) {
  char quote = s[at];
  size_t i = at + 1;
  while (i < s.size()) {
    if (s[i] != quote) {
      ++i;
    } else if (i + 1 < s.size() && s[i + 1] == quote) {
      i += 2;
    } else {
      return i + 1;
    }
  }
  return s.size();
}

// The symbols of more than one character; anything else is a symbol of one.
constexpr std::string_view kLongSymbols[] = {"<>", "<=", ">=", "!=", "^=", "||", "::"};

// Kind and end of the token that starts at `at`.
SqlTokenKind Scan(std::string_view s, size_t at, size_t& end) {
  char c = s[at];
  char next = at + 1 < s.size() ? s[at + 1] : '\0';
  end = at + 1;
  if (IsSqlBlank(c)) {
    while (end < s.size() && IsSqlBlank(s[end])) ++end;
    return SqlTokenKind::Blank;
  }
  if (c == '\'' || c == '"') {
    end = QuotedEnd(s, at);
    return c == '\'' ? SqlTokenKind::Literal : SqlTokenKind::QuotedName;
  }
  if (c == '-' && next == '-') {
    size_t newline = s.find('\n', at);
    end = newline == std::string_view::npos ? s.size() : newline;
    return SqlTokenKind::Comment;
  }
  if (c == '/' && next == '*') {
    size_t close = s.find("*/", at + 2);
    end = close == std::string_view::npos ? s.size() : close + 2;
    return SqlTokenKind::Comment;
  }
  if (IsSqlWordStart(c)) {
    while (end < s.size() && IsSqlWordChar(s[end])) ++end;
    return SqlTokenKind::Word;
  }
  if (IsDigit(c) || (c == '.' && IsDigit(next))) {
    while (end < s.size() && (IsSqlWordChar(s[end]) || s[end] == '.')) ++end;
    return SqlTokenKind::Number;
  }
  if (c == ':' && IsSqlWordChar(next)) {
    while (end < s.size() && IsSqlWordChar(s[end])) ++end;
    return SqlTokenKind::HostVariable;
  }
  if (c == '?') return SqlTokenKind::Marker;
  for (std::string_view symbol : kLongSymbols) {
    if (s.substr(at, symbol.size()) == symbol) end = at + symbol.size();
  }
  return SqlTokenKind::Symbol;
}

}  // namespace

bool IsSqlWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsSqlBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSqlBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<SqlToken> TokenizeSql(std::string_view text) {
  std::vector<SqlToken> tokens;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = at;
    SqlTokenKind kind = Scan(text, at, end);
    tokens.push_back({kind, text.substr(at, end - at)});
    at = end;
  }
  return tokens;
}

size_t SkipSpace(const std::vector<SqlToken>& tokens, size_t at) {
  while (at < tokens.size() && tokens[at].IsSpace()) ++at;
  return at;
}

size_t SkipBlanks(const std::vector<SqlToken>& tokens, size_t at) {
  while (at < tokens.size() && tokens[at].kind == SqlTokenKind::Blank) ++at;
  return at;
}

size_t PreviousMeaningful(const std::vector<SqlToken>& tokens, size_t end) {
  while (end > 0) {
    if (!tokens[--end].IsSpace()) return end;
  }
  return tokens.size();
}

size_t GroupEnd(const std::vector<SqlToken>& tokens, size_t open) {
  int depth = 0;
  for (size_t k = open; k < tokens.size(); ++k) {
    if (tokens[k].Is("(")) ++depth;
    if (tokens[k].Is(")") && --depth == 0) return k + 1;
  }
  return tokens.size();
}

size_t TopLevel(const std::vector<SqlToken>& tokens, size_t at, std::string_view lower) {
  int depth = 0;
  for (size_t k = at; k < tokens.size(); ++k) {
    if (tokens[k].Is("(")) ++depth;
    if (tokens[k].Is(")")) --depth;
    if (depth == 0 && tokens[k].Is(lower)) return k;
  }
  return tokens.size();
}

size_t TopLevelComma(const std::vector<SqlToken>& tokens, size_t begin, size_t end) {
  for (size_t k = begin; k < end; ++k) {
    if (tokens[k].Is("(")) k = GroupEnd(tokens, k) - 1;
    else if (tokens[k].Is(",")) return k;
  }
  return end;
}

std::pair<size_t, size_t> Trimmed(const std::vector<SqlToken>& tokens, size_t begin, size_t end) {
  while (begin < end && tokens[begin].kind == SqlTokenKind::Blank) ++begin;
  while (end > begin && tokens[end - 1].kind == SqlTokenKind::Blank) --end;
  return {begin, end};
}

std::string TokenText(const std::vector<SqlToken>& tokens, size_t begin, size_t end) {
  std::string out;
  for (size_t k = begin; k < end; ++k) out.append(tokens[k].text);
  return out;
}

}  // namespace db
