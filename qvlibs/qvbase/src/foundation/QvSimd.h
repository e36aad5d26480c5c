#pragma once
// Whether the SSE2 paths of the text scanners are compiled: wherever the compiler targets
// SSE2 (every native and Windows build, the 32-bit one included), unless QV_NO_SSE2 asks
// for the portable paths alone, which the linux-portable and fuzz-portable builds test.
#if defined(__SSE2__) && !defined(QV_NO_SSE2)
#define QV_USE_SSE2 1
#include <emmintrin.h>
#else
#define QV_USE_SSE2 0
#endif
