#pragma once
// An owned Windows file handle, and the opening of an existing file or directory that all
// the questions about a path share.
#include <string>

#include "platform/windows/win32.h"

namespace platform::windows {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Everyone who shares a file shares it fully: others may read, write, rename and delete it
// while it is open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what `path` leads to, links followed, with `access` (0: only to ask about it) and
// sharing all; directories open as well as files. GetLastError tells why it is not open.
Handle OpenExisting(const std::string& path, DWORD access);

}  // namespace platform::windows
