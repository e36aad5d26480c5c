// POSIX backend of the clock seam: clock_gettime(CLOCK_REALTIME) expressed as Windows file
// time, gmtime_r for the calendar fields, nanosleep, getpid (remembered: every log line
// carries it, and glibc makes each call a system call).
#include "platform/QvPlatformClock.h"

#include <atomic>
#include <ctime>
#include <cerrno>
#include <pthread.h>
#include <unistd.h>

namespace {
// The process id once asked for; 0 until then, and again in the child of a fork.
std::atomic<uint32_t> rememberedProcessId{0};
void ForgetProcessId() { rememberedProcessId.store(0, std::memory_order_relaxed); }
}  // namespace

namespace QvPlatform {
uint64_t NativeGetSystemFileTime() {
    timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return 0;
    return kFileTimeTicksAt1970 + uint64_t(now.tv_sec) * kFileTimeTicksPerSecond +
           uint64_t(now.tv_nsec) / kNanosecondsPerFileTimeTick;
}

bool FileTimeToUtcFields(uint64_t fileTime, QvUtcFields* out) {
    if (!out)
        return false;
    // Windows refuses file times with the top bit set; do the same.
    if (fileTime >> 63)
        return false;
    uint64_t seconds = fileTime / kFileTimeTicksPerSecond;
    time_t unixSeconds = time_t(int64_t(seconds) - int64_t(kFileTimeTicksAt1970 / kFileTimeTicksPerSecond));
    tm fields;
    if (!gmtime_r(&unixSeconds, &fields))
        return false;
    out->year = fields.tm_year + 1900;
    out->month = fields.tm_mon + 1;
    out->day = fields.tm_mday;
    out->hour = fields.tm_hour;
    out->minute = fields.tm_min;
    out->second = fields.tm_sec;
    out->millisecond = int((fileTime % kFileTimeTicksPerSecond) / kFileTimeTicksPerMillisecond);
    return true;
}

void NativeSleep(uint32_t ms) {
    timespec wait{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

uint32_t GetCurrentProcessId() {
    uint32_t id = rememberedProcessId.load(std::memory_order_relaxed);
    if (id == 0) {
        static const bool forgottenOnFork = pthread_atfork(nullptr, nullptr, ForgetProcessId) == 0;
        id = uint32_t(getpid());
        if (forgottenOnFork)
            rememberedProcessId.store(id, std::memory_order_relaxed);
    }
    return id;
}
}  // namespace QvPlatform
