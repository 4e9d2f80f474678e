#pragma once
// Windows error codes told as the errno values the platform headers promise.
#include "platform/windows/win32.h"

namespace platform::windows {

// ENOENT, EACCES, ENOSPC, EBUSY (in use by another process), ... ; EIO for the rest.
int ErrnoOf(DWORD error);
// ErrnoOf(GetLastError()).
int LastErrno();

}  // namespace platform::windows
