// POSIX backend of the formatting seam. glibc does not know the Microsoft length modifier
// "I64"; a format that uses it is rewritten with "ll" before it reaches vsnprintf. A long
// format's copy comes from the memory seam like every other allocation of the library.
#include "platform/QvPlatformFormat.h"

#include <cstdio>
#include <cstring>

#include "platform/QvPlatformMemory.h"

namespace QvPlatform {
int FormatText(char* buffer, size_t size, const char* format, va_list args) {
    if (!format || !strstr(format, "I64"))
        return vsnprintf(buffer, size, format, args);

    size_t formatLength = strlen(format);
    char small[256];
    char* rewritten = formatLength < sizeof small ? small : static_cast<char*>(Malloc(formatLength + 1));
    if (!rewritten)
        return -1;
    // Walk the conversions so that only a length modifier is rewritten, never literal text.
    size_t out = 0;
    for (size_t i = 0; i < formatLength;) {
        if (format[i] != '%') {
            rewritten[out++] = format[i++];
            continue;
        }
        rewritten[out++] = format[i++];
        if (i < formatLength && format[i] == '%') {
            rewritten[out++] = format[i++];
            continue;
        }
        while (i < formatLength && strchr("-+ #0123456789.*'", format[i]))
            rewritten[out++] = format[i++];
        if (strncmp(format + i, "I64", 3) == 0) {
            rewritten[out++] = 'l';
            rewritten[out++] = 'l';
            i += 3;
        }
    }
    rewritten[out] = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int result = vsnprintf(buffer, size, rewritten, args);
#pragma GCC diagnostic pop
    if (rewritten != small)
        Free(rewritten);
    return result;
}
}  // namespace QvPlatform
