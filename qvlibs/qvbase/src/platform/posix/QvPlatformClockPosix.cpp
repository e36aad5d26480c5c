// POSIX backend of the clock seam: clock_gettime(CLOCK_REALTIME) expressed as Windows file
// time, gmtime_r for the calendar fields, nanosleep, getpid.
#include "platform/QvPlatformClock.h"

#include <ctime>
#include <cerrno>
#include <unistd.h>

namespace {
const uint64_t kTicksPerSecond = 10000000;
const uint64_t kEpochDifferenceSeconds = 11644473600ULL;  // 1601-01-01 to 1970-01-01
}  // namespace

namespace QvPlatform {
uint64_t NativeGetSystemFileTime() {
    timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return 0;
    return (uint64_t(now.tv_sec) + kEpochDifferenceSeconds) * kTicksPerSecond + uint64_t(now.tv_nsec) / 100;
}

bool FileTimeToUtcFields(uint64_t fileTime, QvUtcFields* out) {
    if (!out)
        return false;
    // Windows refuses file times with the top bit set; do the same.
    if (fileTime >> 63)
        return false;
    uint64_t seconds = fileTime / kTicksPerSecond;
    time_t unixSeconds = time_t(int64_t(seconds) - int64_t(kEpochDifferenceSeconds));
    tm fields;
    if (!gmtime_r(&unixSeconds, &fields))
        return false;
    out->year = fields.tm_year + 1900;
    out->month = fields.tm_mon + 1;
    out->day = fields.tm_mday;
    out->hour = fields.tm_hour;
    out->minute = fields.tm_min;
    out->second = fields.tm_sec;
    out->millisecond = int((fileTime % kTicksPerSecond) / 10000);
    return true;
}

void NativeSleep(uint32_t ms) {
    timespec wait{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

uint32_t GetCurrentProcessId() { return uint32_t(getpid()); }
}  // namespace QvPlatform
