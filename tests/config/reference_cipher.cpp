#include "config/reference_cipher.h"

#include <cstdio>

// The low-level Blowfish calls are deprecated in OpenSSL 3 but are the plain reference we want.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/blowfish.h>

namespace {

BF_LONG ReadLittleEndian(const unsigned char* bytes) {
  BF_LONG word = 0;
  for (int i = 3; i >= 0; --i) {
    word = word << 8 | bytes[i];
  }
  return word;
}

void AppendLittleEndianHex(std::string& hex, BF_LONG word) {
  for (int i = 0; i < 4; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>((word >> (8 * i)) & 0xFF));
    hex += digits;
  }
}

}  // namespace

std::string ReferenceEncipher(const std::string& plain, const std::string& key) {
  BF_KEY schedule;
  BF_set_key(&schedule, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
  std::string hex;
  for (size_t offset = 0; offset < plain.size(); offset += 8) {
    unsigned char block[8] = {};
    plain.copy(reinterpret_cast<char*>(block), 8, offset);
    BF_LONG data[2] = {ReadLittleEndian(block), ReadLittleEndian(block + 4)};
    BF_encrypt(data, &schedule);
    AppendLittleEndianHex(hex, data[0]);
    AppendLittleEndianHex(hex, data[1]);
  }
  return hex;
}
#pragma GCC diagnostic pop
