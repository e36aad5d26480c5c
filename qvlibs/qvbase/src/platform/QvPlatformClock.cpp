// Portable half of the clock seam: the fake clock and the Sleep counters used by tests,
// in front of the backend's real clock.
#include "platform/QvPlatformClock.h"

#include <atomic>

namespace {
std::atomic<bool> fakeClock{false};
std::atomic<uint64_t> fakeFileTime{0};
std::atomic<long long> sleepCount{0};
std::atomic<long long> sleptMillis{0};
const uint64_t kTicksPerMilli = 10000;
}  // namespace

namespace QvPlatform {
uint64_t GetSystemFileTime() {
    if (fakeClock.load())
        return fakeFileTime.load();
    return NativeGetSystemFileTime();
}

void Sleep(uint32_t ms) {
    ++sleepCount;
    sleptMillis += ms;
    if (fakeClock.load()) {
        fakeFileTime += uint64_t(ms) * kTicksPerMilli;
        return;
    }
    NativeSleep(ms);
}
}  // namespace QvPlatform

namespace QvPlatformTest {
void SetFakeFileTime(uint64_t fileTime) {
    fakeFileTime = fileTime;
    fakeClock = true;
}
void AdvanceFakeClockMillis(int64_t millis) {
    if (fakeClock.load())
        fakeFileTime += uint64_t(millis * int64_t(kTicksPerMilli));
}
void UseRealClock() {
    fakeClock = false;
    ResetSleepCounters();
}
long long GetSleepCount() { return sleepCount.load(); }
long long GetSleptMillis() { return sleptMillis.load(); }
void ResetSleepCounters() {
    sleepCount = 0;
    sleptMillis = 0;
}
}  // namespace QvPlatformTest
