#pragma once
// Text between a record's field and a statement's transfer buffer of another width.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/text_field.h"

// One column between a record and its transfer buffers, either way, so that one list of columns
// serves both directions. A text is bounded by both arrays: a source without a terminator gives
// its M characters, never bytes beyond it; the target is always terminated.
template <size_t N, size_t M>
void TransferField(char (&target)[N], const char (&source)[M]) {
  char terminated[M + 1];
  std::memcpy(terminated, source, M);
  terminated[M] = '\0';
  CopyField(target, terminated);
}
inline void TransferField(int32_t& target, int32_t source) { target = source; }
