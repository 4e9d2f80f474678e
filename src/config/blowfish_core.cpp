// Blowfish key schedule and block operations (16 rounds, as published).
#include "config/blowfish_core.h"

#include <cstring>
#include <utility>

#include "config/blowfish_constants.h"

namespace {

constexpr int kRounds = 16;

uint32_t Mix(const BlowfishState& state, uint32_t x) {
  return ((state.s[0][x >> 24] + state.s[1][(x >> 16) & 0xFF]) ^ state.s[2][(x >> 8) & 0xFF]) +
         state.s[3][x & 0xFF];
}

}  // namespace

void BlowfishSetKey(BlowfishState& state, const unsigned char* key, int keyLength) {
  std::memcpy(state.p, kBlowfishInitialP, sizeof state.p);
  std::memcpy(state.s, kBlowfishInitialS, sizeof state.s);
  if (keyLength > 0) {
    int next = 0;
    for (uint32_t& entry : state.p) {
      uint32_t keyWord = 0;
      for (int i = 0; i < 4; ++i) {
        keyWord = keyWord << 8 | key[next];
        next = (next + 1) % keyLength;
      }
      entry ^= keyWord;
    }
  }
  // Each encryption starts from the previous output and replaces the next two entries.
  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < kRounds + 2; i += 2) {
    BlowfishEncryptBlock(state, left, right);
    state.p[i] = left;
    state.p[i + 1] = right;
  }
  for (auto& box : state.s) {
    for (int i = 0; i < 256; i += 2) {
      BlowfishEncryptBlock(state, left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

void BlowfishEncryptBlock(const BlowfishState& state, uint32_t& left, uint32_t& right) {
  for (int i = 0; i < kRounds; ++i) {
    left ^= state.p[i];
    right ^= Mix(state, left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= state.p[kRounds];
  left ^= state.p[kRounds + 1];
}

void BlowfishDecryptBlock(const BlowfishState& state, uint32_t& left, uint32_t& right) {
  for (int i = kRounds + 1; i > 1; --i) {
    left ^= state.p[i];
    right ^= Mix(state, left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= state.p[1];
  left ^= state.p[0];
}

uint32_t ReadWordLittleEndian(const unsigned char* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void WriteWordLittleEndian(uint32_t word, unsigned char* bytes) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<unsigned char>(word >> (8 * i));
  }
}

void WipeBytes(void* memory, size_t length) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(memory);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = 0;
  }
}
