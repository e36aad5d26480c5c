// Windows backend of the clock seam: GetSystemTime + SystemTimeToFileTime, FileTimeToSystemTime.
#include "platform/QvPlatformClock.h"

#include <windows.h>

namespace QvPlatform {
uint64_t NativeGetSystemFileTime() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    FILETIME fileTime;
    if (!::SystemTimeToFileTime(&now, &fileTime))
        return 0;
    return (uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

bool FileTimeToUtcFields(uint64_t fileTime, QvUtcFields* out) {
    FILETIME ft;
    ft.dwLowDateTime = DWORD(fileTime & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(fileTime >> 32);
    SYSTEMTIME st;
    if (!out || !::FileTimeToSystemTime(&ft, &st))
        return false;
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    out->millisecond = st.wMilliseconds;
    return true;
}

void NativeSleep(uint32_t ms) { ::Sleep(ms); }

uint32_t GetCurrentProcessId() { return ::GetCurrentProcessId(); }
}  // namespace QvPlatform
