#include "platform/windows/handle.h"

#include "platform/windows/wide_text.h"

namespace platform::windows {

Handle OpenExisting(const std::string& path, DWORD access) {
  // Backup semantics is what lets CreateFileW open a directory at all.
  return Handle(CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace platform::windows
