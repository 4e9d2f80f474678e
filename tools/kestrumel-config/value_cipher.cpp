#include "kestrumel-config/value_cipher.h"

#include <cstring>

#include "config/blowfish.h"
#include "platform/secure_zero.h"

namespace {

constexpr size_t kBlockBytes = 8;
constexpr const char* kCipherKey = "KELDRUM";

void AppendHex(std::string& text, const unsigned char* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
}

}  // namespace

size_t EncipheredLength(size_t plainLength) {
  return (plainLength + kBlockBytes - 1) / kBlockBytes * kBlockBytes * 2;
}

std::string EncipherValue(const std::string& plain) {
  BlowfishState state;
  BlowfishSetKey(state, reinterpret_cast<const unsigned char*>(kCipherKey),
                 static_cast<int>(std::strlen(kCipherKey)));
  std::string hex;
  for (size_t offset = 0; offset < plain.size(); offset += kBlockBytes) {
    unsigned char block[kBlockBytes] = {};  // the NULs pad the last block
    plain.copy(reinterpret_cast<char*>(block), kBlockBytes, offset);
    uint32_t left = ReadWordLittleEndian(block);
    uint32_t right = ReadWordLittleEndian(block + 4);
    BlowfishEncryptBlock(state, left, right);
    WriteWordLittleEndian(left, block);
    WriteWordLittleEndian(right, block + 4);
    AppendHex(hex, block, kBlockBytes);
  }
  platform::SecureZero(&state, sizeof state);
  return hex;
}
