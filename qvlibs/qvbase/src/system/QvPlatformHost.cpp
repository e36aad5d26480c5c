// The host seam's method table: the backend's host-name query unless a test replaced it.
#include "system/QvPlatformHost.h"

namespace QvPlatform {
const QvHostMethods kNativeHostMethods = {NativeGetHostName};
QvHostMethods hostMethods = {NativeGetHostName};
}  // namespace QvPlatform
