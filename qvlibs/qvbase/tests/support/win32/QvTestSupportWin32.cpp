// Test support, Windows: the file system on the wide-character calls, independent of the library
// (paths longer than 200 bytes get the "\\?\" prefix here), registry values written with
// RegCreateKeyExW / RegSetValueExW, and the environment through _putenv_s for the C library too.
#include <cstdio>
#include <cstdlib>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include "QvTempDir.h"
#include "QvTestSystem.h"

namespace {
std::wstring Wide(const std::string& path, bool allowPrefix = true) {
    std::wstring out(path.size(), L'\0');
    out.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), &out[0], int(out.size()))));
    if (allowPrefix && path.size() > 200 && path.compare(0, 4, "\\\\?\\") != 0)
        out = L"\\\\?\\" + out;
    return out;
}

std::string Utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 1 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }
bool HasAttribute(const std::string& path, DWORD set, DWORD clear = 0) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & set) && !(attributes & clear);
}

HANDLE CreateForWrite(const std::string& path) {
    return CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool RemoveWide(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(path.c_str()) != 0;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? INVALID_HANDLE_VALUE
                                                              : FindFirstFileW((path + L"\\*").c_str(), &entry);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &entry))
        if (std::wstring(entry.cFileName) != L"." && std::wstring(entry.cFileName) != L"..")
            RemoveWide(path + L"\\" + entry.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    // A link to a directory goes as a directory; some file systems want it as a file.
    return RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str());
}

// A predefined root key from its handle value (QvSystem::kRegistryRoot...), sign-extended as the
// system's own definitions are; null for any other value.
HKEY PredefinedKey(uint32_t root) {
    bool known = root >= 0x80000000u && root <= 0x80000006u && root != 0x80000004u;
    return known ? reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root))) : nullptr;
}

bool SetValue(uint32_t root, const std::string& keyPath, const std::string& valueName, DWORD type, const void* data,
              DWORD size) {
    HKEY rootKey = PredefinedKey(root), key = nullptr;
    if (!rootKey || RegCreateKeyExW(rootKey, Wide(keyPath, false).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                    nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, Wide(valueName, false).c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}
}  // namespace

namespace QvTestFs {
bool IsWindows() { return true; }
bool IsWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool MakeUniqueDir(std::string* path) {
    wchar_t base[MAX_PATH + 1], name[64];
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    static unsigned counter = 0;
    for (int attempt = 0; n > 0 && n <= MAX_PATH && attempt < 100; ++attempt) {
        swprintf(name, 64, L"qvtest-%lu-%llu-%u", GetCurrentProcessId(), (unsigned long long)GetTickCount64(),
                 ++counter);
        std::wstring candidate = std::wstring(base) + name;
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            *path = Utf8(candidate.c_str());
            return true;
        }
    }
    return false;
}

bool RemoveTree(const std::string& path) {
    return RemoveWide(Wide(path));
}
bool MakeDir(const std::string& path) { return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0; }

bool WriteFile(const std::string& path, const std::string& content) {
    HANDLE file = CreateForWrite(path);
    DWORD written = 0;
    BOOL ok = file != INVALID_HANDLE_VALUE &&
              ::WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) && written == content.size();
    return file != INVALID_HANDLE_VALUE && CloseHandle(file) && ok;
}

bool ReadFile(const std::string& path, std::string* content) {
    content->clear();
    // Delete sharing too: a program that replaces the file by renaming over it (the test
    // programs' reports) must not fail because the test is reading it at that moment.
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char chunk[4096];
    DWORD n = 0;
    while (file != INVALID_HANDLE_VALUE && ::ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0)
        content->append(chunk, n);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

bool MakeSymlink(const std::string& link, const std::string& target, bool targetIsDirectory) {
    const DWORD allowUnprivileged = 0x2;  // developer mode; refused by older systems
    DWORD flags = targetIsDirectory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    std::wstring wideLink = Wide(link), wideTarget = Wide(target, false);
    return CreateSymbolicLinkW(wideLink.c_str(), wideTarget.c_str(), flags | allowUnprivileged) ||
           CreateSymbolicLinkW(wideLink.c_str(), wideTarget.c_str(), flags);
}

bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
bool IsDirectory(const std::string& path) {
    return HasAttribute(path, FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_REPARSE_POINT);
}
bool SetReadOnly(const std::string& path) {
    return SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

bool MakeSizedFile(const std::string& path, int64_t size) {
    HANDLE file = CreateForWrite(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    BOOL ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok != 0;
}

std::string DescribeAccess(const std::string& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(Wide(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return "error";
    std::string out;
    void* ace = nullptr;
    for (DWORD i = 0; dacl && i < dacl->AceCount && GetAce(dacl, i, &ace); ++i) {
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        wchar_t* sidText = nullptr;
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !ConvertSidToStringSidW(&allowed->SidStart, &sidText))
            continue;
        char mask[16];
        snprintf(mask, sizeof mask, ":0x%lx", (unsigned long)allowed->Mask);
        out += (out.empty() ? "" : ";") + Utf8(sidText) + mask;
        LocalFree(sidText);
    }
    LocalFree(descriptor);
    return out;
}

std::string GetCurrentDir() {
    wchar_t buffer[4096];
    DWORD n = GetCurrentDirectoryW(4096, buffer);
    return n > 0 && n < 4096 ? Utf8(buffer) : std::string();
}
bool SetCurrentDir(const std::string& path) { return SetCurrentDirectoryW(Wide(path, false).c_str()) != 0; }
}  // namespace QvTestFs

namespace QvTestSystem {
bool UseRegistryStore(const std::string&) { return true; }

bool WriteRegistryString(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         const std::string& utf8Value) {
    std::wstring wide = Wide(utf8Value, false);
    return SetValue(root, keyPath, valueName, REG_SZ, wide.c_str(), DWORD((wide.size() + 1) * sizeof(wchar_t)));
}

bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName, uint32_t value) {
    DWORD number = value;
    return SetValue(root, keyPath, valueName, REG_DWORD, &number, sizeof(number));
}

bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName) {
    HKEY rootKey = PredefinedKey(root), key = nullptr;
    if (!rootKey || RegOpenKeyExW(rootKey, Wide(keyPath, false).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegDeleteValueW(key, Wide(valueName, false).c_str());
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool DeleteRegistryTree(uint32_t root, const std::string& keyPath) {
    HKEY rootKey = PredefinedKey(root);
    LONG result = rootKey && !keyPath.empty() ? RegDeleteTreeW(rootKey, Wide(keyPath, false).c_str()) : ERROR_BADKEY;
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        RegDeleteKeyW(rootKey, Wide(keyPath, false).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool SetEnv(const std::string& name, const std::string& value) {
    // _putenv_s with an empty value would remove the variable; the Win32 block keeps it.
    return value.empty() ? SetEnvironmentVariableW(Wide(name, false).c_str(), L"") != 0
                         : _putenv_s(name.c_str(), value.c_str()) == 0;
}
bool UnsetEnv(const std::string& name) {
    _putenv_s(name.c_str(), "");
    return SetEnvironmentVariableW(Wide(name, false).c_str(), nullptr) != 0 || GetLastError() == ERROR_ENVVAR_NOT_FOUND;
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
    std::string utf8 = n > 0 && n < sizeof(path) / sizeof(path[0]) ? Utf8(path) : "";
    return utf8.substr(0, utf8.find_last_of("\\/"));
}

bool CopyProgram(const std::string& source, const std::string& destination) {
    return CopyFileW(Wide(source).c_str(), Wide(destination).c_str(), FALSE) != 0;
}
bool HasUnreapedChild() { return false; }
}  // namespace QvTestSystem
