#include "platform/process_identity.h"

#include <unistd.h>

namespace platform {

long CurrentProcessId() { return static_cast<long>(getpid()); }

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

}  // namespace platform
