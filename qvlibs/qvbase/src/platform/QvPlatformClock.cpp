// The clock seam's table: the backend's clock and waits unless a test replaced them.
#include "platform/QvPlatformClock.h"

namespace QvPlatform {
const QvClockMethods kNativeClockMethods = {NativeGetSystemFileTime, NativeSleep};
QvClockMethods clockMethods = {NativeGetSystemFileTime, NativeSleep};
}  // namespace QvPlatform
