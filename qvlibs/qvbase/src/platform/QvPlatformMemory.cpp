// The C allocator behind the seam, with the counting and failure injection used by the
// tests. Portable: both platforms use the C library's allocator.
#include "platform/QvPlatformMemory.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long long> allocationCount{0};
std::atomic<long long> failAt{0};  // absolute allocation number that fails; 0 = none
std::atomic<bool> failAll{false};
std::atomic<bool> failOnward{false};  // every allocation from failAt on fails

// Counts one allocation; true when this one is to fail. Relaxed ordering: the counter is
// only read by the thread that armed a failure, and it sits on every allocation's path.
bool CountAndCheckFailure() {
    long long number = allocationCount.fetch_add(1, std::memory_order_relaxed) + 1;
    if (failAll.load(std::memory_order_relaxed))
        return true;
    long long failing = failAt.load(std::memory_order_relaxed);
    return failing != 0 && (number == failing || (number > failing && failOnward.load(std::memory_order_relaxed)));
}
}  // namespace

namespace QvPlatform {
void* Malloc(size_t size) {
    if (CountAndCheckFailure())
        return nullptr;
    return std::malloc(size);
}

void* Realloc(void* block, size_t size) {
    if (CountAndCheckFailure())
        return nullptr;
    return std::realloc(block, size);
}

void Free(void* block) { std::free(block); }
}  // namespace QvPlatform

namespace QvPlatformTest {
void FailAllocationNumber(long long n) {
    failAll = false;
    failOnward = false;
    failAt = n > 0 ? allocationCount.load() + n : 0;
}
void FailAllocationsFrom(long long n) {
    FailAllocationNumber(n);
    failOnward = n > 0;
}
void FailAllAllocations(bool on) { failAll = on; }
long long GetAllocationCount() { return allocationCount.load(); }
void ResetAllocationCount() {
    allocationCount = 0;
    failAt = 0;
    failAll = false;
    failOnward = false;
}
}  // namespace QvPlatformTest
