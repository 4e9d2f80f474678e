#pragma once
// Blowfish decipherment of the configuration values (hexadecimal, little-endian halves).
#include <cstdint>

int DecipherValue(const char* cipherText, char* plain, const char* key);
void HexToBytes(const char* text, int count, unsigned char* bytes);
