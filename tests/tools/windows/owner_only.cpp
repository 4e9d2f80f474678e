#include "tools/owner_only.h"

#include "common/process.h"

#include "platform/windows/win32.h"

#include <aclapi.h>

#include <memory>
#include <vector>

namespace {

// The user this test runs as.
std::vector<unsigned char> CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  bool read = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  if (!read) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  std::vector<unsigned char> copy(GetLengthSid(sid));
  CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid);
  return copy;
}

}  // namespace

bool AccessIsKeptAsWritten() { return !testing_process::UnderWine(); }

// Owner alone: an access list protected from inheritance whose one entry allows the user.
bool OnlyTheOwnerMayUse(const std::string& path, std::string& why) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    why = "no security information";
    return false;
  }
  std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  if (dacl == nullptr || (control & SE_DACL_PROTECTED) == 0) {
    why = dacl == nullptr ? "no access list: everyone may" : "the access list inherits";
    return false;
  }
  if (dacl->AceCount != 1) {
    why = std::to_string(dacl->AceCount) + " entries in the access list";
    return false;
  }
  void* entry = nullptr;
  GetAce(dacl, 0, &entry);
  auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
  std::vector<unsigned char> user = CurrentUserSid();
  why = "the one entry is not the user's";
  return allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && !user.empty() &&
         EqualSid(&allowed->SidStart, user.data());
}
