#include "platform/secure_zero.h"

#include <string.h>

namespace platform {

void SecureZero(void* memory, size_t size) { explicit_bzero(memory, size); }

}  // namespace platform
