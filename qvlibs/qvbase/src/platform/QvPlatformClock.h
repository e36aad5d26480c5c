#pragma once
// The platform seam, clock and process: wall-clock time as Windows file time (100 ns
// ticks since 1601-01-01 UTC), its calendar conversion, Sleep and the process id.
// Tests can replace the clock with a fake one and count Sleep calls instead of waiting.

#include <cstdint>

namespace QvPlatform {

struct QvUtcFields {
    int year;
    int month;   // 1..12
    int day;     // 1..31
    int hour;
    int minute;
    int second;
    int millisecond;
};

// Current UTC time in file-time ticks (the fake clock when a test set one).
uint64_t GetSystemFileTime();
// Calendar fields of a file time, in UTC; false when the platform cannot convert it.
bool FileTimeToUtcFields(uint64_t fileTime, QvUtcFields* out);
// Waits ms milliseconds (with the fake clock: advances it and returns at once).
void Sleep(uint32_t ms);
uint32_t GetCurrentProcessId();

// Backend primitives, one implementation per platform.
uint64_t NativeGetSystemFileTime();
void NativeSleep(uint32_t ms);

}  // namespace QvPlatform

namespace QvPlatformTest {
// Switches the fake clock on at the given file time; Sleep then advances it.
void SetFakeFileTime(uint64_t fileTime);
// Moves the fake clock; does nothing while the real clock is in use.
void AdvanceFakeClockMillis(int64_t millis);
// Back to the real clock and real waits; clears the Sleep counters.
void UseRealClock();
// Sleep calls and their total milliseconds since the last UseRealClock or reset.
long long GetSleepCount();
long long GetSleptMillis();
void ResetSleepCounters();
}  // namespace QvPlatformTest
