#pragma once
// The platform seam, memory: every allocation of qvbase goes through these three calls
// (the C allocator), so that tests can count allocations and fail a chosen one.

#include <cstddef>

namespace QvPlatform {
void* Malloc(size_t size);
void* Realloc(void* block, size_t size);
void Free(void* block);
}  // namespace QvPlatform

// Test hooks. Counting covers Malloc and Realloc calls (Free is not counted).
namespace QvPlatformTest {
// The n-th allocation from now fails (1 = the next one); 0 switches failing off.
void FailAllocationNumber(long long n);
// The n-th allocation from now and every later one fail, as on a machine that stays out
// of memory; FailAllocationNumber(0) ends it.
void FailAllocationsFrom(long long n);
// Every allocation from now fails until FailAllocationNumber(0).
void FailAllAllocations(bool on);
// Allocations made since the last reset.
long long GetAllocationCount();
void ResetAllocationCount();
}  // namespace QvPlatformTest
