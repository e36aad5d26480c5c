#pragma once
// The platform seam, host: the computer's host name as the network layer reports it.

#include <cstdint>

namespace QvPlatform {

// Zero-fills buffer (size bytes) and stores the host name there, always terminated.
// False when the platform cannot tell the name (or the arguments are unusable).
bool GetHostName(char* buffer, int32_t size);

}  // namespace QvPlatform
