#pragma once
// The Windows API, without the parts of <windows.h> that nothing here uses and without its
// min and max macros, which would break std::min and std::max.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
