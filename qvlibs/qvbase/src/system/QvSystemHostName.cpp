// The computer's short host name, worked out once per process.
#include "qvbase/QvSystem.h"

#include <cstring>
#include <mutex>

#include "foundation/QvUntilExit.h"
#include "system/QvPlatformHost.h"
#include "system/QvSystemState.h"

namespace {
const int32_t kHostNameBufferSize = 300;
const char* const kUnknownHostName = "unknown";
}  // namespace

void GetShortHostName(QvString* out) {
    QvSystemPrivate::HostNameState& state = QvSystemPrivate::HostName();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.known) {
        char buffer[kHostNameBufferSize];
        if (QvPlatform::GetHostName(buffer, kHostNameBufferSize)) {
            char* dot = strchr(buffer, '.');
            if (dot != nullptr)
                *dot = '\0';
        } else {
            buffer[0] = '\0';
        }
        state.shortName.Set(buffer[0] != '\0' ? buffer : kUnknownHostName);
        state.shortName.MakeLower();
        state.known = true;
    }
    if (out != nullptr)
        out->Set(&state.shortName);
}

namespace QvSystemPrivate {
HostNameState& HostName() {
    static QvUntilExit<HostNameState> state;
    return *state;
}
}  // namespace QvSystemPrivate
