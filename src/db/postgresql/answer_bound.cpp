#include "db/postgresql/answer_bound.h"

#include <cctype>

namespace db::postgresql {
namespace {

constexpr const char* kKeyword = "kestrumel_answer_timeout";
// A statement may rightly wait 10 s for a row lock without a byte from the server.
constexpr int kShortestSeconds = 15;
constexpr int kLongestSeconds = 86400;

bool ParseSeconds(const std::string& text, int& seconds) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  seconds = std::stoi(text);
  return seconds >= kShortestSeconds && seconds <= kLongestSeconds;
}

bool IsUri(const std::string& text) {
  return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

// The URI's query parameters are '&'-separated after its '?'.
void TakeFromUri(const std::string& uri, std::string& rest, std::string& value, int& found) {
  const size_t query = uri.find('?');
  if (query == std::string::npos) {
    rest = uri;
    return;
  }
  rest = uri.substr(0, query);
  std::string kept;
  size_t start = query + 1;
  while (start <= uri.size()) {
    size_t end = uri.find('&', start);
    if (end == std::string::npos) end = uri.size();
    const std::string parameter = uri.substr(start, end - start);
    const std::string prefix = std::string(kKeyword) + "=";
    if (parameter.rfind(prefix, 0) == 0) {
      value = parameter.substr(prefix.size());
      ++found;
    } else if (!parameter.empty()) {
      kept += (kept.empty() ? "" : "&") + parameter;
    }
    start = end + 1;
  }
  if (!kept.empty()) rest += "?" + kept;
}

// Keyword strings are blank-separated keyword=value pairs; ours never needs quoting.
void TakeFromKeywords(const std::string& text, std::string& rest, std::string& value,
                      int& found) {
  const std::string prefix = std::string(kKeyword) + "=";
  size_t at = 0;
  rest = text;
  while ((at = rest.find(prefix, at)) != std::string::npos) {
    if (at > 0 && !std::isspace(static_cast<unsigned char>(rest[at - 1]))) {
      at += prefix.size();
      continue;
    }
    size_t end = rest.find_first_of(" \t\n", at);
    if (end == std::string::npos) end = rest.size();
    value = rest.substr(at + prefix.size(), end - at - prefix.size());
    ++found;
    rest.erase(at, end - at);
  }
}

}  // namespace

bool TakeAnswerBound(const std::string& netService, std::string& rest, int& seconds) {
  seconds = kDefaultAnswerSeconds;
  std::string value;
  int found = 0;
  if (IsUri(netService)) {
    TakeFromUri(netService, rest, value, found);
  } else {
    TakeFromKeywords(netService, rest, value, found);
  }
  if (found == 0) return true;
  return found == 1 && ParseSeconds(value, seconds);
}

}  // namespace db::postgresql
