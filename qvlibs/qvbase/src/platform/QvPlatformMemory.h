#pragma once
// The platform seam, memory: every allocation of qvbase goes through these three calls.
// They go to the C allocator through a table of methods, as the allocator of an embedded
// database does: a program never changes it, a test installs its own methods (counting,
// failing a chosen allocation) before it starts threads, and nothing else sits on the path.
// Every seam whose calls a test replaces has such a table, defined the same way: the table
// in use and the native one, both in the seam's portable .cpp.

#include <cstddef>
#include <cstdlib>

namespace QvPlatform {

struct QvMemoryMethods {
    void* (*malloc)(size_t size);
    void* (*realloc)(void* block, size_t size);
    void (*free)(void* block);
};

// The methods in use. By default they are the C library's malloc, realloc and free
// themselves, not wrappers: a call through the table is then one indirect call, which is
// what a call into the C library through its import or linkage table already is, so the
// seam adds no work to the program's path.
extern QvMemoryMethods memoryMethods;
// The C allocator's methods, for a replacement to call on to.
extern const QvMemoryMethods kNativeMemoryMethods;

inline void* Malloc(size_t size) { return memoryMethods.malloc(size); }
inline void* Realloc(void* block, size_t size) { return memoryMethods.realloc(block, size); }
inline void Free(void* block) { memoryMethods.free(block); }

}  // namespace QvPlatform
