#pragma once
// Enciphers a value the way the configuration reader deciphers it.
#include <cstddef>
#include <string>

// Length of the hexadecimal text for a plain text of `plainLength` bytes.
size_t EncipheredLength(size_t plainLength);

// The plain text padded with NULs to whole 8-byte blocks, each block's halves read
// least significant byte first, enciphered with the program's key, in capital hexadecimal.
std::string EncipherValue(const std::string& plain);
