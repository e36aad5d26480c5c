#pragma once
// The platform seam, memory: every allocation of qvbase goes through these three calls.
// They go to the C allocator through a table of methods, as the allocator of an embedded
// database does: a program never changes it, a test installs its own methods (counting,
// failing a chosen allocation) before it starts threads, and nothing else sits on the path.

#include <cstddef>
#include <cstdlib>

namespace QvPlatform {

struct QvMemoryMethods {
    void* (*malloc)(size_t size);
    void* (*realloc)(void* block, size_t size);
    void (*free)(void* block);
};

// The methods in use, and whether they are still the C allocator's: until a test
// installs its own, each call goes straight to the C allocator, a branch that always goes
// the same way instead of a call through a pointer, so the seam costs nothing measurable.
extern QvMemoryMethods memoryMethods;
extern bool memoryMethodsReplaced;
// The C allocator's methods, for a replacement to call on to.
extern const QvMemoryMethods kCMemoryMethods;

// Installs methods (the C allocator's again when given kCMemoryMethods).
void InstallMemoryMethods(const QvMemoryMethods& methods);

// The replaced methods are the unlikely way, laid out apart, so that the usual one is a
// compare and a branch not taken before the direct call.
inline void* Malloc(size_t size) {
    if (__builtin_expect(memoryMethodsReplaced, false))
        return memoryMethods.malloc(size);
    return std::malloc(size);
}
inline void* Realloc(void* block, size_t size) {
    if (__builtin_expect(memoryMethodsReplaced, false))
        return memoryMethods.realloc(block, size);
    return std::realloc(block, size);
}
inline void Free(void* block) {
    if (__builtin_expect(memoryMethodsReplaced, false))
        return memoryMethods.free(block);
    std::free(block);
}

}  // namespace QvPlatform
