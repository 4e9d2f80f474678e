#pragma once
// Configuration values enciphered by the system's libcrypto, independent of our own cipher.
#include <string>

// `plain` padded with NULs to whole blocks, each half read least significant byte first,
// enciphered with `key`, in capital hexadecimal.
std::string ReferenceEncipher(const std::string& plain, const std::string& key = "KELDRUM");
