#pragma once
// The platform seam, clock and process: wall-clock time as Windows file time (100 ns
// ticks since 1601-01-01 UTC), its calendar conversion, Sleep and the process id.

#include <cstdint>

namespace QvPlatform {

// File time counts 100 ns ticks from 1601-01-01 00:00:00 UTC; the program's time values
// count milliseconds from 1970-01-01, which is 11644473600 seconds later.
const uint64_t kNanosecondsPerFileTimeTick = 100;
const uint64_t kFileTimeTicksPerMillisecond = 10000;
const uint64_t kFileTimeTicksPerSecond = 1000 * kFileTimeTicksPerMillisecond;
const uint64_t kFileTimeTicksAt1970 = 11644473600ULL * kFileTimeTicksPerSecond;
const uint64_t kFileTimeMillisecondsAt1970 = kFileTimeTicksAt1970 / kFileTimeTicksPerMillisecond;

struct QvUtcFields {
    int year;
    int month;   // 1..12
    int day;     // 1..31
    int hour;
    int minute;
    int second;
    int millisecond;
};

// The two clock calls a test replaces (a clock that stands still, waits that are counted
// instead of slept), as a table like the memory seam's; the backend's calls otherwise.
struct QvClockMethods {
    uint64_t (*getSystemFileTime)();  // current UTC time in file-time ticks
    void (*sleep)(uint32_t ms);
};
extern QvClockMethods clockMethods;
// The backend's methods, for a replacement to fall back on.
extern const QvClockMethods kNativeClockMethods;

inline uint64_t GetSystemFileTime() { return clockMethods.getSystemFileTime(); }
inline void Sleep(uint32_t ms) { clockMethods.sleep(ms); }
// Calendar fields of a file time, in UTC; false when the platform cannot convert it.
bool FileTimeToUtcFields(uint64_t fileTime, QvUtcFields* out);
uint32_t GetCurrentProcessId();

// Backend primitives, one implementation per platform.
uint64_t NativeGetSystemFileTime();
void NativeSleep(uint32_t ms);

}  // namespace QvPlatform
