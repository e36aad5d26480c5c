// Formatting with the arguments given directly; the platform's formatter does the work.
#include "platform/QvPlatformFormat.h"

namespace QvPlatform {

int FormatTextInto(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int needed = FormatText(buffer, size, format, args);
    va_end(args);
    return needed;
}

}  // namespace QvPlatform
