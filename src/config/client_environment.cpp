#include "config/client_environment.h"

#include <string>

#include "platform/environment.h"

void ClearClientEnvironment() {
  for (const std::string& name : platform::EnvironmentNames()) {
    if (name.compare(0, 2, "PG") == 0) platform::RemoveEnvironmentVariable(name);
  }
}
