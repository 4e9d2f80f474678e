#pragma once
// Reads SQL text by position for the backends' dialect adaptation: quoted parts, words and
// parenthesised groups, so that a rewrite never touches a literal or a partial word.
#include <cstddef>
#include <string_view>
#include <vector>

namespace db {

bool IsSqlWordStart(char c);
bool IsSqlWordChar(char c);
bool IsSqlBlank(char c);
// `lower` must be given in lower case.
bool EqualsIgnoringCase(std::string_view text, std::string_view lower);
std::string_view TrimBlanks(std::string_view text);

class SqlScanner {
 public:
  explicit SqlScanner(std::string_view text) : s_(text) {}

  std::string_view Text() const { return s_; }
  size_t Size() const { return s_.size(); }
  char At(size_t i) const { return s_[i]; }

  size_t SkipBlanks(size_t at) const;
  // Position after the quoted text that starts at `at` ('...' or "..."; doubled quotes inside).
  size_t QuotedEnd(size_t at) const;
  size_t WordEnd(size_t at) const;
  // Position after the parenthesised group that opens at `at`.
  size_t GroupEnd(size_t at) const;
  // Position of the first ',' at depth 0 within [begin, end), or end.
  size_t TopLevelComma(size_t begin, size_t end) const;
  // The word at `at` follows a '.', so it names something inside a schema or table.
  bool QualifiedBefore(size_t at) const { return at > 0 && s_[at - 1] == '.'; }

  struct Word {
    size_t begin;
    size_t end;
  };
  // The words outside quotes and parentheses, with their positions.
  std::vector<Word> TopLevelWords() const;

 private:
  std::string_view s_;
};

}  // namespace db
