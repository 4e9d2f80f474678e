#pragma once
// Reads SQL text into tokens for the precompiler and the backends' dialect adaptation, so that
// a rewrite never touches a literal, a quoted name, a comment or a partial word.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/runtime/letter_case.h"

namespace db {

bool IsSqlWordChar(char c);
std::string_view TrimBlanks(std::string_view text);

enum class SqlTokenKind {
  Word,          // a keyword or a name: which one depends on where it stands, as in SQL
  Literal,       // '...' with doubled quotes inside
  QuotedName,    // "..."
  Number,        // 12, 1.5
  HostVariable,  // :name (an indicator is a second host variable right after the first)
  Marker,        // ?
  Symbol,        // an operator or punctuation: ( ) , . + - * / = <> <= >= != || :: ...
  Comment,       // -- to the end of the line, or /* ... */
  Blank,         // a run of white space
};

struct SqlToken {
  SqlTokenKind kind;
  std::string_view text;

  // A word or symbol that is `lower` (given in lower case).
  bool Is(std::string_view lower) const {
    return (kind == SqlTokenKind::Word || kind == SqlTokenKind::Symbol) &&
           SameIgnoringCase(text, lower);
  }
  // Carries no meaning: a blank or a comment.
  bool IsSpace() const { return kind == SqlTokenKind::Blank || kind == SqlTokenKind::Comment; }
};
using SqlTokens = std::vector<SqlToken>;

// The tokens of `text`, which they cover exactly and in order; an unterminated quote or
// comment runs to the end.
std::vector<SqlToken> TokenizeSql(std::string_view text);

// Index of the first token at or after `at` that is not a blank or comment (or tokens.size()).
size_t SkipSpace(const std::vector<SqlToken>& tokens, size_t at);
// The same, stopping at a comment too: a comment ends the expression before it.
size_t SkipBlanks(const std::vector<SqlToken>& tokens, size_t at);
// Index of the last token before `end` that is neither blank nor comment (or tokens.size()).
size_t PreviousMeaningful(const std::vector<SqlToken>& tokens, size_t end);
// Index after the parenthesised group whose '(' is tokens[open] (or tokens.size()).
size_t GroupEnd(const std::vector<SqlToken>& tokens, size_t open);
// Index of the first word or symbol `lower` outside parentheses from `at` on (or tokens.size()).
size_t TopLevel(const std::vector<SqlToken>& tokens, size_t at, std::string_view lower);
// Index of the first ',' outside parentheses in [begin, end), or end.
size_t TopLevelComma(const std::vector<SqlToken>& tokens, size_t begin, size_t end);
// [begin, end) without the blanks at either end.
std::pair<size_t, size_t> Trimmed(const std::vector<SqlToken>& tokens, size_t begin, size_t end);
// The text of tokens [begin, end).
std::string TokenText(const std::vector<SqlToken>& tokens, size_t begin, size_t end);

}  // namespace db
