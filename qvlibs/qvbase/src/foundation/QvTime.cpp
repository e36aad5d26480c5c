// Time values: the wall clock in milliseconds since 1970 and its UTC text for the log.
// The clock and the calendar conversion come from the platform seam; the text comes from
// strftime over the UTC fields as given, so the local time zone never enters.
#include "qvbase/QvTime.h"

#include <ctime>

#include "platform/QvPlatformClock.h"

namespace {
using QvPlatform::kFileTimeMillisecondsAt1970;
using QvPlatform::kFileTimeTicksPerMillisecond;
const char kTimeTextFormat[] = "%Y-%m-%d %H:%M:%S";
}  // namespace

int64_t GetCurrentTimeMillis() {
    uint64_t fileTime = QvPlatform::GetSystemFileTime();
    return int64_t(fileTime / kFileTimeTicksPerMillisecond - kFileTimeMillisecondsAt1970);
}

void FormatTimeMillis(char* buffer, int64_t timeMillis) {
    if (!buffer)
        return;
    buffer[0] = '\0';
    // Unsigned arithmetic, so that values far outside the file-time range wrap around instead
    // of overflowing; they give an empty text or an arbitrary date, never a crash.
    uint64_t fileTime = (uint64_t(timeMillis) + kFileTimeMillisecondsAt1970) * kFileTimeTicksPerMillisecond;
    QvPlatform::QvUtcFields fields;
    if (!QvPlatform::FileTimeToUtcFields(fileTime, &fields))
        return;
    tm calendar = {};
    calendar.tm_year = fields.year - 1900;
    calendar.tm_mon = fields.month - 1;
    calendar.tm_mday = fields.day;
    calendar.tm_hour = fields.hour;
    calendar.tm_min = fields.minute;
    calendar.tm_sec = fields.second;
    calendar.tm_isdst = 0;
    if (strftime(buffer, size_t(kQvTimeTextBufferSize), kTimeTextFormat, &calendar) == 0)
        buffer[0] = '\0';
}
