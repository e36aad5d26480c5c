// Test support for the system services, Windows: registry values written with
// RegCreateKeyExW / RegSetValueExW, the environment through _putenv_s (so that both the
// C library and started programs see it).
#include "QvTestSystem.h"

#include <windows.h>

#include <cstdlib>

#include "QvTempDir.h"

namespace {

HKEY PredefinedKey(uint32_t root) {
    switch (root) {
    case 0x80000000u: return HKEY_CLASSES_ROOT;
    case 0x80000001u: return HKEY_CURRENT_USER;
    case 0x80000002u: return HKEY_LOCAL_MACHINE;
    case 0x80000003u: return HKEY_USERS;
    case 0x80000005u: return HKEY_CURRENT_CONFIG;
    case 0x80000006u: return HKEY_DYN_DATA;
    default: return nullptr;
    }
}

std::wstring Wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

bool SetValue(uint32_t root, const std::string& keyPath, const std::string& valueName, DWORD type,
              const void* data, DWORD size) {
    HKEY rootKey = PredefinedKey(root);
    HKEY key = nullptr;
    if (!rootKey || RegCreateKeyExW(rootKey, Wide(keyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                    &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, Wide(valueName).c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace

namespace QvTestSystem {

bool UseRegistryStore(const std::string&) { return true; }

bool WriteRegistryString(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         const std::string& utf8Value) {
    std::wstring wide = Wide(utf8Value);
    return SetValue(root, keyPath, valueName, REG_SZ, wide.c_str(), DWORD((wide.size() + 1) * sizeof(wchar_t)));
}

bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         uint32_t value) {
    DWORD number = value;
    return SetValue(root, keyPath, valueName, REG_DWORD, &number, sizeof(number));
}

bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName) {
    HKEY rootKey = PredefinedKey(root);
    HKEY key = nullptr;
    if (!rootKey || RegOpenKeyExW(rootKey, Wide(keyPath).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegDeleteValueW(key, Wide(valueName).c_str());
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool DeleteRegistryTree(uint32_t root, const std::string& keyPath) {
    HKEY rootKey = PredefinedKey(root);
    if (!rootKey || keyPath.empty())
        return false;
    LONG result = RegDeleteTreeW(rootKey, Wide(keyPath).c_str());
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        RegDeleteKeyW(rootKey, Wide(keyPath).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool SetEnv(const std::string& name, const std::string& value) {
    // _putenv_s with an empty value would remove the variable; the Win32 block keeps it.
    if (value.empty())
        return SetEnvironmentVariableW(Wide(name).c_str(), L"") != 0;
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

bool UnsetEnv(const std::string& name) {
    _putenv_s(name.c_str(), "");
    return SetEnvironmentVariableW(Wide(name).c_str(), nullptr) != 0 || GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

std::string GetEnv(const std::string& name, bool* isSet) {
    const char* value = getenv(name.c_str());
    if (isSet)
        *isSet = value != nullptr;
    return value ? value : "";
}

std::string GetProgramDir() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, DWORD(sizeof(path) / sizeof(path[0])));
    if (n == 0 || n >= sizeof(path) / sizeof(path[0]))
        return "";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, path, int(n), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, int(n), &utf8[0], bytes, nullptr, nullptr);
    return utf8.substr(0, utf8.find_last_of("\\/"));
}

bool CopyProgram(const std::string& source, const std::string& destination) {
    return CopyFileW(Wide(source).c_str(), Wide(destination).c_str(), FALSE) != 0;
}

bool HasUnreapedChild() { return false; }

}  // namespace QvTestSystem
