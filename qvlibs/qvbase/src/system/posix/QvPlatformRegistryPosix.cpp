// POSIX backend of the registry seam: a small directory-tree store standing in for the
// registry. Layout below the folder named by $QV_REGISTRY_ROOT ("\" or "/" separators;
// no store when unset or empty, so every value is missing):
//   <root>/HKEY_LOCAL_MACHINE/Software/Velbrook/installdir
// - each predefined root key is a folder with its long name (HKLM and HKEY_LOCAL_MACHINE
//   therefore read the same folder);
// - a key is a folder, each "\" of the key path a folder level (empty levels are skipped,
//   "." and ".." name no key); names are case-sensitive, unlike Windows;
// - a value is a regular file in its key's folder holding the UTF-8 text of a string;
//   the default (unnamed) value is the file "@";
// - a file whose first byte is 0 is a value of another type (reported as binary data);
// - the size limit applies to the text as UTF-16 with its terminator, as on Windows.
#include "system/QvPlatformRegistry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"
#include "system/posix/QvRegistryStorePosix.h"

namespace {

// Value files above this size are refused without reading them: their text could never
// fit any buffer the callers pass.
const off_t kMaxValueFileSize = 1 << 20;

bool IsForbiddenName(const char* name, size_t length) {
    return (length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.');
}

// Appends the key path's components as folder levels. False for a component that would
// leave the store ("." or "..").
bool AppendKeyPath(QvString* path, const QvString* keyPath) {
    const char* text = keyPath->GetText();
    while (*text) {
        const char* end = text;
        while (*end && *end != '\\')
            ++end;
        size_t length = size_t(end - text);
        if (IsForbiddenName(text, length))
            return false;
        if (length > 0) {
            QvString component;
            component.Set(text, int32_t(length));
            path->Append("/");
            path->Append(&component);
        }
        text = *end ? end + 1 : end;
    }
    return true;
}

bool ReadValueFile(const char* path, QvString* content) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxValueFileSize &&
              content->EnsureCapacity(int32_t(status.st_size), false);
    int32_t total = 0;
    while (ok && total < int32_t(status.st_size)) {
        ssize_t got = read(fd, content->GetBuffer() + total, size_t(status.st_size) - size_t(total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;  // the file shrank while we read it: take what is there
        total += int32_t(got);
    }
    close(fd);
    if (ok)
        content->SetLength(total);
    return ok;
}

}  // namespace

namespace QvPlatform {

bool QueryRegistryValue(uint32_t rootKey, const QvUtf16String* keyPath,
                        const QvUtf16String* valueName, void* data, uint32_t* dataBytes,
                        uint32_t* type) {
    const char* rootFolder = QvRegistryStore::RootFolderName(rootKey);
    const char* storeRoot = getenv(QvRegistryStore::kRootVariable);
    if (!rootFolder || !storeRoot || !storeRoot[0] || !keyPath || !valueName || !data || !dataBytes || !type)
        return false;

    QvString utf8KeyPath;
    QvString utf8ValueName;
    if (!QvUtf16String::ConvertUtf16QvStringToUtf8(keyPath, &utf8KeyPath, nullptr) ||
        !QvUtf16String::ConvertUtf16QvStringToUtf8(valueName, &utf8ValueName, nullptr))
        return false;
    if (IsForbiddenName(utf8ValueName.GetText(), size_t(utf8ValueName.GetLength())) ||
        utf8ValueName.FindChar(0, '/') >= 0)
        return false;

    // The root may be written with "\" separators like every path of the library.
    QvString path(storeRoot);
    for (char* c = path.GetBuffer(); c && *c; ++c) {
        if (*c == '\\')
            *c = '/';
    }
    path.Append("/");
    path.Append(rootFolder);
    if (!AppendKeyPath(&path, &utf8KeyPath))
        return false;
    path.Append("/");
    path.Append(utf8ValueName.GetLength() > 0 ? utf8ValueName.GetText() : QvRegistryStore::kDefaultValueFileName);

    QvString content;
    if (!ReadValueFile(path.GetText(), &content))
        return false;

    if (content.GetLength() > 0 && content.GetText()[0] == 0) {
        // Another type: its data (after the marker byte) is handed out as stored.
        uint32_t size = uint32_t(content.GetLength() - 1);
        if (size > *dataBytes)
            return false;
        memcpy(data, content.GetText() + 1, size);
        *dataBytes = size;
        *type = kRegistryTypeBinary;
        return true;
    }

    QvUtf16String text;
    if (!QvUtf16String::ConvertUtf8QvStringToUtf16(&content, &text, nullptr))
        return false;
    // Stored with its terminator, as string values are on Windows.
    uint32_t size = uint32_t(text.GetLength()) + 2;
    if (size > *dataBytes)
        return false;
    memcpy(data, text.GetText(), size);
    *dataBytes = size;
    *type = kRegistryTypeString;
    return true;
}

}  // namespace QvPlatform
