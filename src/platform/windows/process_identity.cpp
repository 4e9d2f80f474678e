#include "platform/process_identity.h"

#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return "";
  return windows::Utf8(name, size);
}

}  // namespace platform
