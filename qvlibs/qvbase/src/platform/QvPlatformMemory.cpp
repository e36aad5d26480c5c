// The C allocator behind the memory seam. Portable: both platforms use the C library's.
#include "platform/QvPlatformMemory.h"

#include <cstdlib>

namespace QvPlatform {
const QvMemoryMethods kNativeMemoryMethods = {std::malloc, std::realloc, std::free};
// Written out rather than copied from kNativeMemoryMethods, so that it is constant data, in place
// before any code of the program runs.
QvMemoryMethods memoryMethods = {std::malloc, std::realloc, std::free};
}  // namespace QvPlatform
