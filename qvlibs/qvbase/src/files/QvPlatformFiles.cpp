// The files seam's method table: the backend's temporary-folder query unless a test
// replaced it.
#include "files/QvPlatformFiles.h"

namespace QvPlatform {
const QvFilesMethods kNativeFilesMethods = {NativeQueryTempPath};
QvFilesMethods filesMethods = {NativeQueryTempPath};
}  // namespace QvPlatform
