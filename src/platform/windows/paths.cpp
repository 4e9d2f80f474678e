#include "platform/paths.h"

#include <string_view>

#include "platform/windows/handle.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {
namespace {

using windows::Utf8;
using windows::Wide;

// The attributes of what `path` leads to; a link's are those of its target.
bool AttributesOf(const std::string& path, DWORD& attributes) {
  attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  const windows::Handle target = windows::OpenExisting(path, 0);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!target.IsOpen() || !GetFileInformationByHandle(target.Get(), &information)) return false;
  attributes = information.dwFileAttributes;
  return true;
}

// "\\?\C:\dir" is "C:\dir", "\\?\UNC\host\share" is "\\host\share".
std::wstring WithoutLongPrefix(const std::wstring& path) {
  const std::wstring_view unc = L"\\\\?\\UNC\\";
  const std::wstring_view local = L"\\\\?\\";
  if (path.rfind(unc, 0) == 0) return L"\\\\" + path.substr(unc.size());
  if (path.rfind(local, 0) == 0) return path.substr(local.size());
  return path;
}

// The name the system gives an open file: absolute, every link resolved.
bool FinalName(HANDLE file, std::wstring& name) {
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD needed = GetFinalPathNameByHandleW(file, nullptr, 0, flags);
  if (needed == 0) return false;
  std::wstring buffer(needed, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), needed, flags);
  if (length == 0 || length >= needed) return false;
  buffer.resize(length);
  name = WithoutLongPrefix(buffer);
  return true;
}

// `path` made absolute against the working directory, "." and ".." resolved; links stay.
bool FullName(const std::string& path, std::wstring& name) {
  const std::wstring wide = Wide(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  std::wstring buffer(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, buffer.data(), nullptr);
  if (length == 0 || length >= needed) return false;
  buffer.resize(length);
  name = buffer;
  return true;
}

}  // namespace

// Only what exists resolves; a file system that cannot name an open file gets the full name
// without its links resolved.
bool ResolvePath(const std::string& path, std::string& resolved) {
  const windows::Handle file = windows::OpenExisting(path, 0);
  if (!file.IsOpen()) return false;
  std::wstring name;
  if (!FinalName(file.Get(), name) && !FullName(path, name)) return false;
  resolved = Utf8(name.data(), name.size());
  return true;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = 0;
  return AttributesOf(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRegularFile(const std::string& path) {
  DWORD attributes = 0;
  return AttributesOf(path, attributes) && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::string WorkingDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return "";
  std::wstring here(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, here.data());
  if (length == 0 || length >= needed) return "";
  return Utf8(here.data(), length);
}

size_t LastPathSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace platform
