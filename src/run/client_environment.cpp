#include "run/client_environment.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

void ClearClientEnvironment() {
  std::vector<std::string> names;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "PG", 2) != 0) continue;
    const char* equals = std::strchr(*entry, '=');
    if (equals != nullptr) names.emplace_back(*entry, static_cast<size_t>(equals - *entry));
  }
  for (const std::string& name : names) unsetenv(name.c_str());
}
