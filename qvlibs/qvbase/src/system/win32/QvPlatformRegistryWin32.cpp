// Windows backend of the registry seam: RegOpenKeyExW (query access only, default
// registry view), RegQueryValueExW and RegCloseKey.
#include "system/QvPlatformRegistry.h"

#include <windows.h>

#include "qvbase/QvUtf16String.h"

namespace {

// The predefined keys are sign-extended handle values on 64-bit Windows, so they are
// named through the SDK's own constants rather than cast from the 32-bit number.
HKEY PredefinedKey(uint32_t rootKey) {
    switch (rootKey) {
    case 0x80000000u: return HKEY_CLASSES_ROOT;
    case 0x80000001u: return HKEY_CURRENT_USER;
    case 0x80000002u: return HKEY_LOCAL_MACHINE;
    case 0x80000003u: return HKEY_USERS;
    case 0x80000004u: return HKEY_PERFORMANCE_DATA;
    case 0x80000005u: return HKEY_CURRENT_CONFIG;
    case 0x80000006u: return HKEY_DYN_DATA;
    default: return nullptr;
    }
}

}  // namespace

namespace QvPlatform {

bool QueryRegistryValue(uint32_t rootKey, const QvUtf16String* keyPath,
                        const QvUtf16String* valueName, void* data, uint32_t* dataBytes,
                        uint32_t* type) {
    HKEY root = PredefinedKey(rootKey);
    if (!root || !keyPath || !valueName || !data || !dataBytes || !type)
        return false;
    const wchar_t* wideValueName = reinterpret_cast<const wchar_t*>(valueName->GetText());
    DWORD valueType = 0;
    DWORD size = *dataBytes;
    LONG result;
    if (keyPath->GetLength() > 0) {
        HKEY key = nullptr;
        result = ::RegOpenKeyExW(root, reinterpret_cast<const wchar_t*>(keyPath->GetText()), 0,
                                 KEY_QUERY_VALUE, &key);
        if (result != ERROR_SUCCESS)
            return false;
        result = ::RegQueryValueExW(key, wideValueName, nullptr, &valueType,
                                    static_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
    } else {
        result = ::RegQueryValueExW(root, wideValueName, nullptr, &valueType,
                                    static_cast<BYTE*>(data), &size);
    }
    // ERROR_MORE_DATA (the value is larger than the buffer) is a failure like any other.
    if (result != ERROR_SUCCESS)
        return false;
    *dataBytes = size;
    *type = valueType;
    return true;
}

}  // namespace QvPlatform
