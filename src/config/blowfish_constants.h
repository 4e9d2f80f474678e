#pragma once
// The published Blowfish initial values (the hexadecimal digits of pi), read-only.
#include <cstdint>

extern const uint32_t kBlowfishInitialP[18];
extern const uint32_t kBlowfishInitialS[4][256];
