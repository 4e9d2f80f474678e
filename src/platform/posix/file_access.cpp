#include "platform/file_access.h"

#include <cerrno>
#include <unistd.h>

namespace platform {
namespace {

int Access(const std::string& path, int mode) { return ::access(path.c_str(), mode) == 0 ? 0 : errno; }

}  // namespace

int MayRead(const std::string& path) { return Access(path, R_OK); }

int MayWrite(const std::string& path) { return Access(path, W_OK); }

// Changing a directory's entries takes the right to search it as well as to write it.
int MayChangeEntriesOf(const std::string& directory) { return Access(directory, W_OK | X_OK); }

bool Exists(const std::string& path) { return Access(path, F_OK) == 0; }

}  // namespace platform
