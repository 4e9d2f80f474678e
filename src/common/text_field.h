#pragma once
// The one way text reaches a fixed-size record field: bounded, always NUL-terminated.
#include <cstddef>
#include <cstring>

// Copies at most N-1 characters of `source` (up to its NUL) into `field` and terminates it.
template <size_t N>
void CopyField(char (&field)[N], const char* source) {
  size_t length = source != nullptr ? strnlen(source, N - 1) : 0;
  std::memcpy(field, source, length);
  field[length] = '\0';
}
