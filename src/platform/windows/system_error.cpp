#include "platform/windows/system_error.h"

#include <cerrno>

namespace platform::windows {
namespace {

struct Mapping {
  DWORD error;
  int errnoValue;
};

constexpr Mapping kMappings[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_BAD_NET_NAME, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_WRITE_PROTECT, EROFS},
    // Another process holds the file open without sharing it, or holds its lock.
    {ERROR_SHARING_VIOLATION, EBUSY},
    {ERROR_LOCK_VIOLATION, EBUSY},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_INVALID_HANDLE, EBADF},
};

}  // namespace

int ErrnoOf(DWORD error) {
  for (const Mapping& mapping : kMappings) {
    if (mapping.error == error) return mapping.errnoValue;
  }
  return EIO;
}

int LastErrno() { return ErrnoOf(GetLastError()); }

}  // namespace platform::windows
