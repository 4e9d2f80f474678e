#include "platform/process_state.h"

#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {

// A process that ended stays openable while a handle to it is held elsewhere: only its exit
// code tells. One that may not be opened (another user's, a protected one) does exist.
bool ProcessRuns(long pid) {
  if (pid <= 0) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  bool runs = GetExitCodeProcess(process, &code) != 0 && code == STILL_ACTIVE;
  CloseHandle(process);
  return runs;
}

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

std::string HostName() {
  wchar_t name[256] = {};
  DWORD size = sizeof name / sizeof name[0];
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return "";
  return windows::Utf8(name, size);
}

}  // namespace platform
