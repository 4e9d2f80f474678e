#pragma once
// How long the program waits for an answer from the server before it takes the connection for
// lost. A frozen server (a stopped process, a commit waiting for a standby that is gone) still
// has its TCP acknowledged by the kernel, so keepalives never fire; only the client's own
// bound ends that wait. Operators change it in the net service (PostgreSQL:
// kestrumel_answer_timeout=SECONDS; ODBC: KestrumelAnswerTimeout=SECONDS), which the backend
// takes out before the driver sees the text.
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
