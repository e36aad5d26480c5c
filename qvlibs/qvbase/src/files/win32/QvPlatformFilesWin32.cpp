// Windows backend of the files seam: wide-character calls on the platform path (UTF-16,
// with the "\\?\" prefix for UTF-8 paths longer than 250 bytes), files opened without
// following reparse points, and the shared access list (full access for Authenticated
// Users and LocalSystem) for what the library creates.
#include "files/QvPlatformFiles.h"

#include <cstring>
#include <new>

#include <windows.h>
#include <winioctl.h>

#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

const char kLongPathPrefix[] = "\\\\?\\";
const DWORD kReparseBufferSize = 16384;
const DWORD kTempPathUnits = 5000;
const DWORD kExtraAclBytes = 32;

// The UTF-16 platform path; false when it could not be built.
bool MakePlatformPath(const char* path, bool longPathPrefix, QvUtf16String* out) {
    if (!path || !path[0])
        return false;
    if (longPathPrefix) {
        out->SetFromUtf8(kLongPathPrefix);
        out->AppendUtf8(path);
    } else {
        out->SetFromUtf8(path);
    }
    return out->GetLength() > 0;
}

bool MakePlatformPath(const char* path, QvUtf16String* out) {
    return path && MakePlatformPath(path, QvPlatform::NeedsLongPathPrefix(int32_t(strlen(path))), out);
}

const wchar_t* Wide(const QvUtf16String& s) { return reinterpret_cast<const wchar_t*>(s.GetText()); }

int64_t FileTimeTicks(const FILETIME& t) {
    return int64_t((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

// Builds the security attributes carrying the shared access list around descriptor;
// null when any step fails.
SECURITY_ATTRIBUTES* BuildSharedSecurityAttributes(SECURITY_DESCRIPTOR* descriptor) {
    SECURITY_ATTRIBUTES* record =
        static_cast<SECURITY_ATTRIBUTES*>(QvPlatform::Malloc(sizeof(SECURITY_ATTRIBUTES)));
    if (!record)
        return nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID authenticatedUsers = nullptr;
    PSID localSystem = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_AUTHENTICATED_USER_RID, 0, 0, 0, 0,
                                  0, 0, 0, &authenticatedUsers) ||
        !AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0,
                                  0, &localSystem)) {
        if (authenticatedUsers)
            FreeSid(authenticatedUsers);
        QvPlatform::Free(record);
        return nullptr;
    }

    DWORD aclSize = GetLengthSid(authenticatedUsers) + GetLengthSid(localSystem) + kExtraAclBytes;
    PACL acl = static_cast<PACL>(QvPlatform::Malloc(aclSize));
    bool ok = acl && InitializeAcl(acl, aclSize, ACL_REVISION) &&
              AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, authenticatedUsers) &&
              AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, localSystem) &&
              InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE);
    FreeSid(authenticatedUsers);
    FreeSid(localSystem);
    if (!ok) {
        QvPlatform::Free(acl);
        QvPlatform::Free(record);
        return nullptr;
    }
    record->nLength = sizeof(SECURITY_ATTRIBUTES);
    record->lpSecurityDescriptor = descriptor;
    record->bInheritHandle = FALSE;
    return record;
}

// The security attributes carrying the shared access list, built on the first call only;
// a failed build is remembered and gives null from then on. The list and the descriptor
// live until the process ends. The build is the initialisation of a function-local
// static: threads creating files at the same time wait for the one build and share it.
SECURITY_ATTRIBUTES* GetSharedSecurityAttributes() {
    static SECURITY_DESCRIPTOR descriptor;
    static SECURITY_ATTRIBUTES* const attributes = BuildSharedSecurityAttributes(&descriptor);
    return attributes;
}

// The one way a file is opened: the reparse point itself rather than its target, and a
// file that turns out to be a reparse point is closed again and refused. *error gets the
// platform error of a failed open (ERROR_ACCESS_DENIED for a refused reparse point).
HANDLE OpenNoReparse(const QvUtf16String& path, DWORD access, DWORD share, DWORD disposition,
                     SECURITY_ATTRIBUTES* security, DWORD* error) {
    HANDLE file = CreateFileW(Wide(path), access, share, security, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return INVALID_HANDLE_VALUE;
    }
    // Each call has its own buffer (the largest reparse record, 16 KB), so that threads
    // opening files at the same time never share one.
    alignas(8) unsigned char reparseData[kReparseBufferSize];
    DWORD returned = 0;
    if (DeviceIoControl(file, FSCTL_GET_REPARSE_POINT, nullptr, 0, reparseData,
                        kReparseBufferSize, &returned, nullptr)) {
        CloseHandle(file);
        *error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    *error = ERROR_SUCCESS;
    return file;
}

// Opens an existing file in the mode; only when there is none (error 2) is a new one
// created, readable but not writable by others while open, with the shared access list.
HANDLE OpenForWrite(const QvUtf16String& path, QvPlatform::QvWriteMode mode) {
    bool append = mode == QvPlatform::QvWriteMode::Append;
    DWORD access = append ? FILE_APPEND_DATA : GENERIC_WRITE;
    DWORD error = 0;
    HANDLE file = OpenNoReparse(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                append ? OPEN_EXISTING : TRUNCATE_EXISTING, nullptr, &error);
    if (file != INVALID_HANDLE_VALUE || error != ERROR_FILE_NOT_FOUND)
        return file;
    return OpenNoReparse(path, access, FILE_SHARE_READ, CREATE_NEW,
                         GetSharedSecurityAttributes(), &error);
}

}  // namespace

namespace QvPlatform {

bool QueryFileAttributes(const char* path, QvFileAttributes* out) {
    QvUtf16String platformPath;
    if (!out || !MakePlatformPath(path, &platformPath))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(platformPath), GetFileExInfoStandard, &data))
        return false;
    out->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out->isReparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out->size = int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    out->creationTicks = FileTimeTicks(data.ftCreationTime);
    out->lastWriteTicks = FileTimeTicks(data.ftLastWriteTime);
    return true;
}

bool QueryFileKind(const char* path, bool* isDirectory, bool* isReparsePoint) {
    QvUtf16String platformPath;
    if (!MakePlatformPath(path, &platformPath))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(platformPath), GetFileExInfoStandard, &data))
        return false;
    *isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    *isReparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return true;
}

bool CreateOneDirectory(const char* path, bool longPathPrefix, bool shared) {
    QvUtf16String platformPath;
    if (!MakePlatformPath(path, longPathPrefix, &platformPath))
        return false;
    return CreateDirectoryW(Wide(platformPath), shared ? GetSharedSecurityAttributes() : nullptr);
}

bool ReadFileNoReparse(const char* path, void* buffer, uint32_t size, uint32_t* bytesRead) {
    QvUtf16String platformPath;
    if (!buffer || !bytesRead || !MakePlatformPath(path, &platformPath))
        return false;
    *bytesRead = 0;
    DWORD error = 0;
    HANDLE file = OpenNoReparse(platformPath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                nullptr, &error);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    BOOL ok = ReadFile(file, buffer, size, &got, nullptr);
    CloseHandle(file);
    if (!ok)
        return false;
    *bytesRead = got;
    return true;
}

bool WriteFileBytes(const char* path, QvWriteMode mode, const void* data, uint32_t count) {
    QvUtf16String platformPath;
    if (!data || !MakePlatformPath(path, &platformPath))
        return false;
    HANDLE file = OpenForWrite(platformPath, mode);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, count, &written, nullptr);
    CloseHandle(file);
    return ok && written == count;
}

QvDeleteResult DeleteOneFile(const char* path) {
    QvUtf16String platformPath;
    if (!MakePlatformPath(path, &platformPath))
        return QvDeleteResult::OtherFailure;
    if (DeleteFileW(Wide(platformPath)))
        return QvDeleteResult::Deleted;
    return GetLastError() == ERROR_ACCESS_DENIED ? QvDeleteResult::AccessDenied
                                                 : QvDeleteResult::OtherFailure;
}

bool SetNormalFileAttributes(const char* path) {
    QvUtf16String platformPath;
    if (!MakePlatformPath(path, &platformPath))
        return false;
    return SetFileAttributesW(Wide(platformPath), FILE_ATTRIBUTE_NORMAL);
}

bool NativeQueryTempPath(QvString* out) {
    if (!out)
        return false;
    wchar_t* units = static_cast<wchar_t*>(QvPlatform::Malloc(kTempPathUnits * sizeof(wchar_t)));
    if (!units)
        return false;
    // The result counts the units written, or the size needed when the buffer is short.
    DWORD n = GetTempPathW(kTempPathUnits, units);
    bool ok = false;
    if (n > 0 && n < kTempPathUnits) {
        QvUtf16String wide;
        wide.Set(reinterpret_cast<const char16_t*>(units), int32_t(n));
        ok = QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, out, nullptr) && out->GetLength() > 0;
    }
    QvPlatform::Free(units);
    return ok;
}

}  // namespace QvPlatform
