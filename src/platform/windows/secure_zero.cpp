#include "platform/secure_zero.h"

#include "platform/windows/win32.h"

namespace platform {

void SecureZero(void* memory, size_t size) { SecureZeroMemory(memory, size); }

}  // namespace platform
