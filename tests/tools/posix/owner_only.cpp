#include "tools/owner_only.h"

#include <sys/stat.h>

bool AccessIsKeptAsWritten() { return true; }

bool OnlyTheOwnerMayUse(const std::string& path, std::string& why) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    why = "no such file";
    return false;
  }
  why = "mode " + std::to_string(info.st_mode & 0777);
  return (info.st_mode & 0777) == 0600;
}
