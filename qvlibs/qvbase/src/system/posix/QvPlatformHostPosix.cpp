// POSIX backend of the host seam: gethostname.
#include "system/QvPlatformHost.h"

#include <cstring>
#include <unistd.h>

namespace QvPlatform {

bool NativeGetHostName(char* buffer, int32_t size) {
    if (buffer == nullptr || size < 2)
        return false;
    memset(buffer, 0, static_cast<size_t>(size));
    // One byte less than the buffer: a name that was cut keeps its terminator.
    bool ok = gethostname(buffer, static_cast<size_t>(size - 1)) == 0;
    buffer[size - 1] = '\0';
    return ok;
}

}  // namespace QvPlatform
