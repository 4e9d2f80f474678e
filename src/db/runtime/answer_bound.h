#pragma once
// How long the program waits for the server's answer before it takes the connection for lost:
// a frozen server's TCP is still acknowledged by the kernel, so keepalives never fire. Set in
// the net service (kestrumel_answer_timeout=S; ODBC: KestrumelAnswerTimeout=S), taken out
// before the driver sees it.
#include <cctype>
#include <string>

namespace db {

constexpr int kDefaultAnswerSeconds = 120;
// A statement may rightly wait 10 s for a row lock without a byte from the server.
constexpr int kShortestAnswerSeconds = 15;
constexpr int kLongestAnswerSeconds = 86400;

// Whether `text` is a whole number of seconds the bound may take.
inline bool ParseAnswerSeconds(const std::string& text, int& seconds) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  seconds = std::stoi(text);
  return seconds >= kShortestAnswerSeconds && seconds <= kLongestAnswerSeconds;
}

}  // namespace db
