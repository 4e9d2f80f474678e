#include "platform/environment.h"

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace platform {

std::vector<std::string> EnvironmentNames() {
  std::vector<std::string> names;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals != nullptr) names.emplace_back(*entry, static_cast<size_t>(equals - *entry));
  }
  return names;
}

void RemoveEnvironmentVariable(const std::string& name) { unsetenv(name.c_str()); }

}  // namespace platform
