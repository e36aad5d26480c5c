// Windows backend of the formatting seam: mingw's C99 formatter (__USE_MINGW_ANSI_STDIO)
// accepts the Microsoft "%I64d" as well as "%lld".
#include "platform/QvPlatformFormat.h"

#include <cstdio>

namespace QvPlatform {
int FormatText(char* buffer, size_t size, const char* format, va_list args) {
    return vsnprintf(buffer, size, format, args);
}
}  // namespace QvPlatform
