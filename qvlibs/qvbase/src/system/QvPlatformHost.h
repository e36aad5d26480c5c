#pragma once
// The platform seam, host: the computer's host name as the network layer reports it.

#include <cstdint>

namespace QvPlatform {

// Zero-fills buffer (size bytes) and stores the host name there, always terminated.
// False when the platform cannot tell the name (or the arguments are unusable).
bool NativeGetHostName(char* buffer, int32_t size);

// The call a test replaces (another name, a failed query), as a table like the memory
// seam's; the backend's otherwise.
struct QvHostMethods {
    bool (*getHostName)(char* buffer, int32_t size);
};
extern QvHostMethods hostMethods;
extern const QvHostMethods kNativeHostMethods;
inline bool GetHostName(char* buffer, int32_t size) { return hostMethods.getHostName(buffer, size); }

}  // namespace QvPlatform
