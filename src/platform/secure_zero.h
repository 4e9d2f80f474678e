#pragma once
// Overwriting a secret (a password, a deciphered value) with zeros in a way the compiler may
// not drop as a store that nothing reads any more.
#include <cstddef>

namespace platform {

void SecureZero(void* memory, size_t size);

}  // namespace platform
