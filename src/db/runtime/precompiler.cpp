#include "db/runtime/precompiler.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "db/runtime/status.h"

namespace db {
namespace {

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Case-insensitive test that `s` starts with keyword `kw` followed by a non-identifier char.
bool StartsWithKeyword(std::string_view s, std::string_view kw) {
  if (s.size() < kw.size()) return false;
  for (size_t i = 0; i < kw.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != kw[i]) return false;
  }
  return s.size() == kw.size() || !IsIdentChar(s[kw.size()]);
}

std::string_view SkipKeyword(std::string_view s, std::string_view kw) {
  return Trim(s.substr(kw.size()));
}

// Finds the INTO keyword of a select at the top level (outside literals); npos if none.
size_t FindInto(std::string_view s) {
  bool quoted = false;
  for (size_t i = 0; i + 4 <= s.size(); ++i) {
    if (s[i] == '\'') quoted = !quoted;
    if (quoted || i == 0 || IsIdentChar(s[i - 1])) continue;
    if (StartsWithKeyword(s.substr(i), "into")) return i;
  }
  return std::string_view::npos;
}

// Reads an INTO list ":b0,:b1:b2, ..." starting at `pos`; counts host variables (an
// indicator right after its variable does not count) and returns the position after it.
size_t ReadIntoList(std::string_view s, size_t pos, int& count) {
  count = 0;
  while (pos < s.size()) {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    if (pos >= s.size() || s[pos] != ':') break;
    ++count;
    do {  // the variable and an optional indicator
      ++pos;
      while (pos < s.size() && IsIdentChar(s[pos])) ++pos;
    } while (pos < s.size() && s[pos] == ':');
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    if (pos < s.size() && s[pos] == ',') {
      ++pos;
      continue;
    }
    break;
  }
  return pos;
}

// Replaces every host variable outside literals by '?', counting positions.
std::string MarkPlaceholders(std::string_view s, int& count) {
  std::string out;
  out.reserve(s.size());
  count = 0;
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == ':' && i + 1 < s.size() && s[i + 1] == ':') {  // a cast, not a variable
      out += "::";
      ++i;
      continue;
    }
    if (!quoted && c == ':' && i + 1 < s.size() && IsIdentChar(s[i + 1])) {
      ++count;
      out += '?';
      ++i;
      while (i + 1 < s.size() && IsIdentChar(s[i + 1])) ++i;
      continue;
    }
    out += c;
  }
  return out;
}

int ParseSchemaSwitch(std::string_view rest, ParsedStatement& parsed) {
  // rest follows "ALTER": "SESSION SET CURRENT_SCHEMA=S"
  if (!StartsWithKeyword(rest, "session")) return status::kInvalidCharacter;
  rest = SkipKeyword(rest, "session");
  if (!StartsWithKeyword(rest, "set")) return status::kInvalidCharacter;
  rest = SkipKeyword(rest, "set");
  if (!StartsWithKeyword(rest, "current_schema")) return status::kInvalidCharacter;
  rest = SkipKeyword(rest, "current_schema");
  if (rest.empty() || rest.front() != '=') return status::kInvalidCharacter;
  std::string name(Trim(rest.substr(1)));
  if (!IsPlainIdentifier(name.c_str())) return status::kInvalidCharacter;
  parsed.kind = ParsedStatement::Kind::SetSchema;
  parsed.name = name;
  return status::kOk;
}

int ParseSavepointName(std::string_view rest, ParsedStatement& parsed) {
  std::string name(rest);
  if (!IsPlainIdentifier(name.c_str())) return status::kInvalidCharacter;
  parsed.name = name;
  return status::kOk;
}

}  // namespace

bool IsPlainIdentifier(const char* text) {
  size_t n = std::strlen(text);
  if (n == 0 || n > 30 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (size_t i = 1; i < n; ++i) {
    if (!IsIdentChar(text[i])) return false;
  }
  return true;
}

int Precompile(const char* text, ParsedStatement& parsed) {
  parsed = ParsedStatement{};
  parsed.text = text;
  std::string_view s = Trim(text);

  if (StartsWithKeyword(s, "savepoint")) {
    parsed.kind = ParsedStatement::Kind::Savepoint;
    return ParseSavepointName(SkipKeyword(s, "savepoint"), parsed);
  }
  if (StartsWithKeyword(s, "rollback")) {
    std::string_view rest = SkipKeyword(s, "rollback");
    if (Trim(rest).empty()) {
      parsed.kind = ParsedStatement::Kind::Rollback;
      return status::kOk;
    }
    if (!StartsWithKeyword(rest, "to")) return status::kInvalidCharacter;
    parsed.kind = ParsedStatement::Kind::RollbackTo;
    return ParseSavepointName(SkipKeyword(rest, "to"), parsed);
  }
  if (StartsWithKeyword(s, "commit")) {
    parsed.kind = ParsedStatement::Kind::Commit;
    return Trim(s.substr(6)).empty() ? status::kOk : status::kInvalidCharacter;
  }
  if (StartsWithKeyword(s, "alter")) return ParseSchemaSwitch(SkipKeyword(s, "alter"), parsed);

  bool query = StartsWithKeyword(s, "select");
  bool modify = StartsWithKeyword(s, "insert") || StartsWithKeyword(s, "update") ||
                StartsWithKeyword(s, "delete");
  if (!query && !modify) return status::kInvalidCharacter;
  parsed.kind = query ? ParsedStatement::Kind::Query : ParsedStatement::Kind::Modify;

  std::string withoutInto(s);
  if (query) {
    size_t into = FindInto(s);
    if (into != std::string_view::npos) {
      size_t end = ReadIntoList(s, into + 4, parsed.intoCount);
      withoutInto = std::string(s.substr(0, into)) + " " + std::string(s.substr(end));
    }
  }
  parsed.body = MarkPlaceholders(withoutInto, parsed.inputCount);
  return status::kOk;
}

}  // namespace db
