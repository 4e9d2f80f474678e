#include "platform/file_access.h"

#include <cerrno>

#include "platform/windows/handle.h"
#include "platform/windows/system_error.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {
namespace {

// Opening with the access asks the system's own checks (the file's permissions, a read-only
// attribute or medium), and then closes again, changing nothing. The system checks access
// before sharing: a file in use by another process that does not share it is still allowed.
int Access(const std::string& path, DWORD access) {
  const windows::Handle file = windows::OpenExisting(path, access);
  if (file.IsOpen()) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION ? 0 : windows::ErrnoOf(error);
}

}  // namespace

int MayRead(const std::string& path) { return Access(path, GENERIC_READ); }

int MayWrite(const std::string& path) { return Access(path, GENERIC_WRITE); }

// A directory has no right to search on Windows: adding a file is what its entries need.
int MayChangeEntriesOf(const std::string& directory) {
  const DWORD attributes = GetFileAttributesW(windows::Wide(directory).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return windows::LastErrno();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
  return Access(directory, FILE_ADD_FILE);
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(windows::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace platform
