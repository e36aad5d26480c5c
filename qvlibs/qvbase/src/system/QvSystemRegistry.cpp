// Registry path access: splitting "Root/Key/Path/ValueName" texts, naming the predefined
// root keys, and reading string values through the platform's registry seam.
#include "qvbase/QvSystem.h"

#include <cstring>

#include "system/QvPlatformRegistry.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

struct QvRegistryRootName {
    const char* name;
    QvSystem::QvRegistryRoot key;
};

// Compared in this order, exactly and case-sensitively.
const QvRegistryRootName kRegistryRootNames[] = {
    {"HKCR", QvSystem::kRegistryRootClassesRoot},
    {"HKEY_CLASSES_ROOT", QvSystem::kRegistryRootClassesRoot},
    {"HKCU", QvSystem::kRegistryRootCurrentUser},
    {"HKEY_CURRENT_USER", QvSystem::kRegistryRootCurrentUser},
    {"HKLM", QvSystem::kRegistryRootLocalMachine},
    {"HKEY_LOCAL_MACHINE", QvSystem::kRegistryRootLocalMachine},
    {"HKU", QvSystem::kRegistryRootUsers},
    {"HKEY_USERS", QvSystem::kRegistryRootUsers},
    {"HKCC", QvSystem::kRegistryRootCurrentConfig},
    {"HKEY_CURRENT_CONFIG", QvSystem::kRegistryRootCurrentConfig},
    {"HKDD", QvSystem::kRegistryRootDynData},
    {"HKEY_DYN_DATA", QvSystem::kRegistryRootDynData},
};

// Registry paths take the separators of file paths.
using QvFile::IsPathSeparator;

// The root name ends at the first separator or terminator from index 1 on (a separator at
// index 0 belongs to the name). Fills rootName and points *remainder past the root and
// one following separator. False when the end lies beyond the field or the name is too long.
bool SplitRegistryRootName(const char* path, char* rootName, const char** remainder) {
    rootName[0] = 0;
    if (!path || !path[0])
        return false;
    int32_t end = 1;
    while (end < QvSystem::kRegistryPathFieldSize && path[end] && !IsPathSeparator(path[end]))
        ++end;
    if (end >= QvSystem::kRegistryPathFieldSize || end > QvSystem::kRegistryMaxRootNameLength)
        return false;
    memcpy(rootName, path, size_t(end));
    rootName[end] = 0;
    const char* rest = path + end;
    if (IsPathSeparator(*rest))
        ++rest;
    *remainder = rest;
    return true;
}

}  // namespace

namespace QvSystem {

bool SplitRegistryPath(const char* registryPath, QvRegistryPathParts* parts) {
    QvRegistryPathParts scratch;
    if (!parts)
        parts = &scratch;
    parts->rootName[0] = 0;
    parts->keyPath[0] = 0;
    parts->valueName[0] = 0;

    const char* remainder = nullptr;
    if (!SplitRegistryRootName(registryPath, parts->rootName, &remainder))
        return false;

    // Without a separator in the remainder there is no key/value division: refused, so
    // that "HKLM/name" is never mistaken for a value of the root key ("HKLM//name" is one).
    const char* lastSeparator = nullptr;
    for (const char* p = remainder; *p; ++p) {
        if (IsPathSeparator(*p))
            lastSeparator = p;
    }
    if (!lastSeparator)
        return false;

    size_t keyLength = size_t(lastSeparator - remainder);
    size_t valueLength = strlen(lastSeparator + 1);
    if (keyLength >= size_t(kRegistryPathFieldSize) || valueLength >= size_t(kRegistryPathFieldSize))
        return false;
    memcpy(parts->keyPath, remainder, keyLength);
    parts->keyPath[keyLength] = 0;
    memcpy(parts->valueName, lastSeparator + 1, valueLength + 1);
    return true;
}

QvRegistryRoot ParseRegistryRootKey(const char* registryPath) {
    char rootName[kRegistryPathFieldSize];
    const char* remainder = nullptr;
    if (!SplitRegistryRootName(registryPath, rootName, &remainder))
        return kRegistryRootNone;
    for (const QvRegistryRootName& entry : kRegistryRootNames) {
        if (strcmp(rootName, entry.name) == 0)
            return entry.key;
    }
    return kRegistryRootNone;
}

bool ReadRegistryString(const char* registryPath, QvString* out) {
    if (!out)
        return false;
    out->Set("");
    if (!registryPath || !registryPath[0])
        return false;

    QvRegistryRoot root = ParseRegistryRootKey(registryPath);
    if (root == kRegistryRootNone)
        return false;
    QvRegistryPathParts parts;
    if (!SplitRegistryPath(registryPath, &parts))
        return false;

    for (char* p = parts.keyPath; *p; ++p) {
        if (*p == '/')
            *p = '\\';
    }
    QvString keyPath(parts.keyPath);
    QvString valueName(parts.valueName);
    QvUtf16String wideKeyPath;
    QvUtf16String wideValueName;
    if (!QvUtf16String::ConvertUtf8QvStringToUtf16(&keyPath, &wideKeyPath, nullptr) ||
        !QvUtf16String::ConvertUtf8QvStringToUtf16(&valueName, &wideValueName, nullptr))
        return false;

    // The buffer is pre-filled with zeros so that an odd trailing byte reads as a 0 unit.
    char16_t data[kRegistryMaxValueBytes / 2];
    memset(data, 0, sizeof(data));
    uint32_t dataBytes = sizeof(data);
    uint32_t type = 0;
    if (!QvPlatform::QueryRegistryValue(root, &wideKeyPath, &wideValueName, data, &dataBytes, &type))
        return false;
    if (type != QvPlatform::kRegistryTypeString || dataBytes == 0 || dataBytes > sizeof(data) || data[0] == 0)
        return false;

    // The text runs to the first 0 unit, or to the end of the data when the stored value
    // carries no terminator.
    int32_t units = 0;
    int32_t maxUnits = int32_t(dataBytes / 2);
    while (units < maxUnits && data[units] != 0)
        ++units;
    if (units == 0)
        return false;
    QvUtf16String text;
    text.Set(data, units);
    if (text.GetUnitCount() != units || !QvUtf16String::ConvertUtf16QvStringToUtf8(&text, out, nullptr)) {
        out->Set("");
        return false;
    }
    return out->GetLength() > 0;
}

}  // namespace QvSystem
