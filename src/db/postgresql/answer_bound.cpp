#include "db/postgresql/answer_bound.h"

namespace db::postgresql {
namespace {

constexpr const char* kKeyword = "kestrumel_answer_timeout";

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

}  // namespace

bool TakeAnswerBound(const std::string& netService, std::string& rest, int& seconds) {
  seconds = kDefaultAnswerSeconds;
  std::string value;
  int found = 0;
  TakeFromUri(netService, rest, value, found);
  if (found == 0) return true;
  return found == 1 && ParseAnswerSeconds(value, seconds);
}

}  // namespace db::postgresql
