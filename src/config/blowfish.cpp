// Decipherment of the configuration values: hexadecimal text, 16 characters per block.
#include "config/blowfish.h"

#include <cstring>

#include "config/blowfish_core.h"

namespace {

constexpr int kGroupChars = 16;
constexpr size_t kBlockBytes = 8;

// Built from the key at the start of each call and wiped at its end.
BlowfishState g_workState;

// 'A' to 'F' count 10 to 15; everything else, lower-case letters included, counts code - 48.
int HexDigitValue(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code >= 'A' && code <= 'F' ? code - 'A' + 10 : code - '0';
}

}  // namespace

void HexToBytes(const char* text, int count, unsigned char* bytes) {
  for (int i = 0; i + 1 < count; i += 2) {
    bytes[i / 2] = static_cast<unsigned char>(HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1]));
  }
}

int DecipherValue(const char* cipherText, char* plain, const char* key) {
  return DecipherValueWithKey(cipherText, plain, reinterpret_cast<const unsigned char*>(key),
                              static_cast<int>(std::strlen(key)));
}

// Only whole groups are deciphered: a trailing partial group has no defined block, and
// reading on would run past the end of the text.
int DecipherValueWithKey(const char* cipherText, char* plain, const unsigned char* key, int keyLength) {
  BlowfishSetKey(g_workState, key, keyLength);
  size_t groups = std::strlen(cipherText) / kGroupChars;
  unsigned char* out = reinterpret_cast<unsigned char*>(plain);
  for (size_t group = 0; group < groups; ++group) {
    unsigned char block[kBlockBytes];
    HexToBytes(cipherText + group * kGroupChars, kGroupChars, block);
    uint32_t left = ReadWordLittleEndian(block);
    uint32_t right = ReadWordLittleEndian(block + 4);
    BlowfishDecryptBlock(g_workState, left, right);
    WriteWordLittleEndian(left, out + group * kBlockBytes);
    WriteWordLittleEndian(right, out + group * kBlockBytes + 4);
  }
  plain[groups * kBlockBytes] = '\0';
  WipeBytes(&g_workState, sizeof g_workState);
  return 1;
}

const BlowfishState& DecipherWorkState() { return g_workState; }
