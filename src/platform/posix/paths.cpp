#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace platform {
namespace {

bool ModeIs(const std::string& path, mode_t type) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

}  // namespace

bool ResolvePath(const std::string& path, std::string& resolved) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return false;
  resolved = buffer;
  return true;
}

bool IsDirectory(const std::string& path) { return ModeIs(path, S_IFDIR); }

bool IsRegularFile(const std::string& path) { return ModeIs(path, S_IFREG); }

size_t LastPathSeparator(const std::string& path) { return path.find_last_of('/'); }

std::string WorkingDirectory() {
  char here[4096];
  return ::getcwd(here, sizeof here) != nullptr ? here : "";
}

}  // namespace platform
