#pragma once
// Blowfish decipherment of the configuration values (hexadecimal, little-endian halves); the
// primitives below serve the configuration tool, which enciphers, and the tests.
#include <cstddef>
#include <cstdint>

int DecipherValue(const char* cipherText, char* plain, const char* key);
void HexToBytes(const char* text, int count, unsigned char* bytes);

struct BlowfishState {
  uint32_t p[18];
  uint32_t s[4][256];
};
static_assert(sizeof(BlowfishState) == 4168);

// The published key schedule, the key bytes repeating; a key of length 0 leaves the values unmixed.
void BlowfishSetKey(BlowfishState& state, const unsigned char* key, int keyLength);
void BlowfishEncryptBlock(const BlowfishState& state, uint32_t& left, uint32_t& right);
void BlowfishDecryptBlock(const BlowfishState& state, uint32_t& left, uint32_t& right);

// The configuration values store each half of a block least significant byte first.
uint32_t ReadWordLittleEndian(const unsigned char* bytes);
void WriteWordLittleEndian(uint32_t word, unsigned char* bytes);

// DecipherValue with a key of any bytes, NULs included.
int DecipherValueWithKey(const char* cipherText, char* plain, const unsigned char* key, int keyLength);

// The state DecipherValue works in; between calls it holds only zero bytes.
const BlowfishState& DecipherWorkState();
