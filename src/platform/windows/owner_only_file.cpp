#include "platform/owner_only_file.h"

#include <cerrno>
#include <vector>

#include "platform/windows/handle.h"
#include "platform/windows/system_error.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {
namespace {

using windows::LastErrno;

// Tries of a temporary name before giving up, should earlier runs have left files behind.
constexpr int kTemporaryNameTries = 100;

// A security descriptor that makes the running user a new file's owner and grants that user
// alone full access, nothing inherited from the directory.
class OwnerOnlySecurity {
 public:
  // 0 or the errno value of the step that failed.
  int Build();
  SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

 private:
  int ReadUser();

  std::vector<BYTE> tokenUser_;
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
};

// The user the process runs as, from its token.
int OwnerOnlySecurity::ReadUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return LastErrno();
  const windows::Handle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  tokenUser_.resize(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, tokenUser_.data(), size, &size)) return LastErrno();
  return 0;
}

int OwnerOnlySecurity::Build() {
  if (int error = ReadUser(); error != 0) return error;
  PSID user = reinterpret_cast<TOKEN_USER*>(tokenUser_.data())->User.Sid;
  acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user));
  PACL acl = reinterpret_cast<PACL>(acl_.data());
  const bool built =
      InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
      AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user) &&
      InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorOwner(&descriptor_, user, FALSE) &&
      SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
      SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  if (!built) return LastErrno();
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  return 0;
}

// Creates a file of a new name beside `path`, with `security`. Returns 0 or an errno value.
int CreateTemporary(const std::string& path, SECURITY_ATTRIBUTES* security, HANDLE& file, std::wstring& name) {
  const std::string stem = path + "." + std::to_string(GetCurrentProcessId()) + ".";
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    name = windows::Wide(stem + std::to_string(attempt));
    file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return 0;
    if (GetLastError() != ERROR_FILE_EXISTS) return LastErrno();
  }
  return EEXIST;
}

bool WriteAll(HANDLE file, const std::string& content) {
  size_t written = 0;
  while (written < content.size()) {
    const size_t left = content.size() - written;
    DWORD count = 0;
    if (!WriteFile(file, content.data() + written, left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left), &count,
                   nullptr)) {
      return false;
    }
    written += count;
  }
  return true;
}

// Durable before it becomes visible under the real name. Closes `file` in any case; returns 0
// or the errno value of the step that failed.
int WriteDurably(HANDLE file, const std::string& content) {
  int error = WriteAll(file, content) && FlushFileBuffers(file) ? 0 : LastErrno();
  if (!CloseHandle(file) && error == 0) error = LastErrno();
  return error;
}

}  // namespace

int ReplaceWithOwnerOnlyFile(const std::string& path, const std::string& content) {
  OwnerOnlySecurity security;
  if (int error = security.Build(); error != 0) return error;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::wstring temporary;
  if (int error = CreateTemporary(path, security.Attributes(), file, temporary); error != 0) return error;
  int error = WriteDurably(file, content);
  const DWORD replace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (error == 0 && !MoveFileExW(temporary.c_str(), windows::Wide(path).c_str(), replace)) error = LastErrno();
  if (error != 0) DeleteFileW(temporary.c_str());
  return error;
}

}  // namespace platform
