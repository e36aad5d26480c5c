#pragma once
// QvSystem: machine-level services of the client. Install and data directories and the
// installer's host identifier, string values of the registry, the interface language
// code, and starting another program. Nothing here writes to the log; callers decide.

#include <cstdint>

class QvString;

namespace QvSystem {

// ---- Install and data directories -------------------------------------------------
// Each fills its out string (emptied first) from a process-wide cache, computing it on
// the first call. Directory paths always end in a backslash. A null out does nothing.
void GetInstallDir(QvString* out);
void GetDataDir(QvString* out);
// The installer's 24-character host identifier in ASCII lower case; 24 nines when the
// installer configuration holds no usable one.
void GetHguid(QvString* out);

// ---- Registry ---------------------------------------------------------------------
// A registry path is "Root/Key/Path/ValueName"; "/" and "\" are both separators. A path
// ending in a separator names the key's default value.

// Predefined root keys, by their handle values; kRegistryRootNone when a name is unknown.
typedef uint32_t QvRegistryRoot;
const QvRegistryRoot kRegistryRootNone = 0;
const QvRegistryRoot kRegistryRootClassesRoot = 0x80000000u;
const QvRegistryRoot kRegistryRootCurrentUser = 0x80000001u;
const QvRegistryRoot kRegistryRootLocalMachine = 0x80000002u;
const QvRegistryRoot kRegistryRootUsers = 0x80000003u;
const QvRegistryRoot kRegistryRootCurrentConfig = 0x80000005u;
const QvRegistryRoot kRegistryRootDynData = 0x80000006u;

// Size of each field of a split path, terminator included.
const int32_t kRegistryPathFieldSize = 1000;
// Largest root name, in bytes.
const int32_t kRegistryMaxRootNameLength = 997;
// Largest value data read, in bytes (UTF-16, terminator included).
const int32_t kRegistryMaxValueBytes = 10000;

struct QvRegistryPathParts {
    char rootName[kRegistryPathFieldSize];
    char keyPath[kRegistryPathFieldSize];    // separators as written; may be empty
    char valueName[kRegistryPathFieldSize];  // empty for the default value
};

// True and the value's text (UTF-8) when a non-empty string value was read; false
// otherwise. The out string is emptied first in every case.
bool ReadRegistryString(const char* registryPath, QvString* out);
// The root key named by the path's first component (exact, case-sensitive), or
// kRegistryRootNone.
QvRegistryRoot ParseRegistryRootKey(const char* registryPath);
// Splits a path into its three parts. False for a missing or empty path, a root name
// over 997 bytes, a path whose remainder has no separator (no key/value division), and
// a key path or value name that does not fit its field. The parts are always terminated
// (empty when not found); parts may be null.
bool SplitRegistryPath(const char* registryPath, QvRegistryPathParts* parts);

// ---- Locale codes -----------------------------------------------------------------
// The override when one was set, otherwise the code of the user's interface language
// ("en_US" when that language has no code). Never null or empty; a constant text.
const char* GetLocaleCode();
// Sets the override when code is exactly one of the eleven codes; false otherwise, with
// the override unchanged.
bool SetLocaleCode(const char* code);

// ---- Process launch ---------------------------------------------------------------
// Starts the program named at the front of the command line (quoted or up to the first
// blank) with the rest as its argument string, and returns without waiting. False when
// the line cannot be split, the program does not exist or the start is refused.
bool RunCommand(const QvString* commandLine);

}  // namespace QvSystem

// The computer's short host name: the platform's host name up to its first ".", in ASCII
// lower case, "unknown" when there is none. Worked out once per process.
void GetShortHostName(QvString* out);
