#include "db/runtime/sql_scanner.h"

#include <cctype>

namespace db {

bool IsSqlWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

bool IsSqlWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

bool IsSqlBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsSqlBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSqlBlank(text.back())) text.remove_suffix(1);
  return text;
}

size_t SqlScanner::SkipBlanks(size_t at) const {
  while (at < s_.size() && IsSqlBlank(s_[at])) ++at;
  return at;
}

size_t SqlScanner::QuotedEnd(size_t at) const {
  char quote = s_[at];
  size_t i = at + 1;
  while (i < s_.size()) {
    if (s_[i] == quote) {
      if (i + 1 < s_.size() && s_[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return s_.size();
}

size_t SqlScanner::WordEnd(size_t at) const {
  while (at < s_.size() && IsSqlWordChar(s_[at])) ++at;
  return at;
}

size_t SqlScanner::GroupEnd(size_t at) const {
  int depth = 0;
  size_t i = at;
  while (i < s_.size()) {
    char c = s_[i];
    if (c == '\'' || c == '"') {
      i = QuotedEnd(i);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return i + 1;
    ++i;
  }
  return s_.size();
}

size_t SqlScanner::TopLevelComma(size_t begin, size_t end) const {
  size_t i = begin;
  while (i < end) {
    char c = s_[i];
    if (c == '\'' || c == '"') {
      i = QuotedEnd(i);
    } else if (c == '(') {
      i = GroupEnd(i);
    } else if (c == ',') {
      return i;
    } else {
      ++i;
    }
  }
  return end;
}

std::vector<SqlScanner::Word> SqlScanner::TopLevelWords() const {
  std::vector<Word> words;
  size_t i = 0;
  while (i < s_.size()) {
    char c = s_[i];
    if (c == '\'' || c == '"') {
      i = QuotedEnd(i);
    } else if (c == '(') {
      i = GroupEnd(i);
    } else if (IsSqlWordChar(c)) {
      size_t end = WordEnd(i);
      words.push_back({i, end});
      i = end;
    } else {
      ++i;
    }
  }
  return words;
}

}  // namespace db
