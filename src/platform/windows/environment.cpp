#include "platform/environment.h"

#include <cstdlib>
#include <cwchar>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {

std::vector<std::string> EnvironmentNames() {
  std::vector<std::string> names;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return names;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    // Entries such as "=C:=C:\work" hold each drive's working directory, no variable.
    if (entry[0] == L'=') continue;
    const wchar_t* equals = std::wcschr(entry, L'=');
    if (equals != nullptr) names.push_back(windows::Utf8(entry, static_cast<size_t>(equals - entry)));
  }
  FreeEnvironmentStringsW(block);
  return names;
}

void RemoveEnvironmentVariable(const std::string& name) {
  const std::wstring wide = windows::Wide(name);
  // The C runtime keeps a copy of its own, which getenv reads (libraries among them); the
  // system's is the one that started processes inherit.
  _wputenv_s(wide.c_str(), L"");
  SetEnvironmentVariableW(wide.c_str(), nullptr);
}

}  // namespace platform
