// The C allocator behind the memory seam. Portable: both platforms use the C library's.
#include "platform/QvPlatformMemory.h"

#include <cstdlib>

namespace {
void* CMalloc(size_t size) { return std::malloc(size); }
void* CRealloc(void* block, size_t size) { return std::realloc(block, size); }
void CFree(void* block) { std::free(block); }
}  // namespace

namespace QvPlatform {
const QvMemoryMethods kCMemoryMethods = {CMalloc, CRealloc, CFree};
QvMemoryMethods memoryMethods = {CMalloc, CRealloc, CFree};
bool memoryMethodsReplaced = false;

void InstallMemoryMethods(const QvMemoryMethods& methods) {
    memoryMethods = methods;
    memoryMethodsReplaced =
        methods.malloc != CMalloc || methods.realloc != CRealloc || methods.free != CFree;
}
}  // namespace QvPlatform
