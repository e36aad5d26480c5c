// The shell seam's method table: the backend's known folders and interface language unless
// a test replaced them.
#include "system/QvPlatformShell.h"

namespace QvPlatform {
const QvShellMethods kNativeShellMethods = {NativeQueryKnownFolder, NativeGetUserDefaultUiLanguage};
QvShellMethods shellMethods = {NativeQueryKnownFolder, NativeGetUserDefaultUiLanguage};
}  // namespace QvPlatform
