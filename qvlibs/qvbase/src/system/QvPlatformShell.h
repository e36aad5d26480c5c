#pragma once
// The platform seam, shell: the two known folders the client needs, the user's interface
// language, and starting a program detached ("open" it). Text crosses this seam as UTF-16,
// as the Windows calls take and give it; the POSIX backend converts at its edge.

#include <cstdint>

class QvUtf16String;

namespace QvPlatform {

enum class QvKnownFolder {
    ProgramFiles,   // Windows: CSIDL_PROGRAM_FILES; POSIX: $QV_PROGRAM_FILES, else "/opt"
    CommonAppData,  // Windows: CSIDL_COMMON_APPDATA; POSIX: $QV_COMMON_APPDATA, else "/var/lib"
};

// The folder's path (no trailing separator). False when the platform cannot name it; on
// POSIX also when the override variable is set but empty.
bool NativeQueryKnownFolder(QvKnownFolder folder, QvUtf16String* out);

// The user's interface language as a 16-bit Windows language id (primary language and
// sub-language). POSIX derives it from LC_ALL, LC_MESSAGES or LANG; unknown: 0x0409.
uint16_t NativeGetUserDefaultUiLanguage();

// The calls a test replaces (another interface language, a platform that names no known
// folder), as a table like the memory seam's; the backend's otherwise.
struct QvShellMethods {
    bool (*queryKnownFolder)(QvKnownFolder folder, QvUtf16String* out);
    uint16_t (*getUserDefaultUiLanguage)();
};
extern QvShellMethods shellMethods;
extern const QvShellMethods kNativeShellMethods;
inline bool QueryKnownFolder(QvKnownFolder folder, QvUtf16String* out) {
    return shellMethods.queryKnownFolder(folder, out);
}
inline uint16_t GetUserDefaultUiLanguage() { return shellMethods.getUserDefaultUiLanguage(); }

// Starts the program with the argument string and returns without waiting for it.
// Windows: ShellExecuteW "open", hidden, success when the result is above 32. POSIX: a
// detached child (nothing is left to reap) with the arguments split by shell-word rules.
bool ShellOpenProgram(const QvUtf16String* program, const QvUtf16String* arguments);

}  // namespace QvPlatform
