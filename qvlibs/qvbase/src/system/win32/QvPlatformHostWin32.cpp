// Windows backend of the host seam: gethostname of Windows Sockets. Windows answers only
// between WSAStartup and WSACleanup (Wine answers without them too), so every query is
// wrapped in its own start and cleanup.
#include "system/QvPlatformHost.h"

#include <cstring>
#include <winsock2.h>

namespace QvPlatform {

bool NativeGetHostName(char* buffer, int32_t size) {
    if (buffer == nullptr || size < 2)
        return false;
    memset(buffer, 0, static_cast<size_t>(size));
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    bool ok = ::gethostname(buffer, size - 1) == 0;
    ::WSACleanup();
    buffer[size - 1] = '\0';
    return ok;
}

}  // namespace QvPlatform
