// QvFile: the file and directory operations of the library. The rules about paths (the
// trailing separator, cutting components, walking up a tree), the size limits of whole
// reads, the refusal to write through directories and links and the retry of a denied
// delete live here; the platform seam (QvPlatformFiles.h) does the system calls.
#include "qvbase/QvFile.h"

#include <cstring>
#include <mutex>

#include "foundation/QvUntilExit.h"
#include "files/QvFileState.h"
#include "files/QvPlatformFiles.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFileInfo.h"
#include "qvbase/QvString.h"

namespace {

using QvFile::IsPathSeparator;

// Signed: a file time before 1970 gives a negative time value.
int64_t TicksToMillis(int64_t ticks) {
    return ticks / int64_t(QvPlatform::kFileTimeTicksPerMillisecond) - int64_t(QvPlatform::kFileTimeMillisecondsAt1970);
}

// "/" and a drive root such as "C:\", whose separator GetFileInfo keeps: without it they
// would name nothing, or the drive's current folder.
bool IsRootWithSeparator(const QvString* path) {
    int32_t n = path->GetLength();
    const char* text = path->GetText();
    return (n == 1 && text[0] == '/') || (n >= 2 && n < 4 && text[n - 1] == '\\' && text[n - 2] == ':');
}

// The loop of the retrying reads: readOnce() reads and tells whether the read was whole.
template <typename ReadOnce>
bool ReadRetrying(const QvFile::QvReadRetry& retry, ReadOnce readOnce) {
    for (int32_t attempt = 1; attempt <= retry.attempts; ++attempt) {
        if (readOnce())
            return true;
        if (attempt < retry.attempts || retry.waitAfterLast)
            QvPlatform::Sleep(retry.waitMillis);
    }
    return false;
}

// Writing is allowed to a new path or over an ordinary file, never through a directory
// or a reparse point.
bool IsWritableTarget(const char* path) {
    if (!path)
        return false;
    bool isDirectory = false, isReparsePoint = false;
    if (!QvPlatform::QueryFileKind(path, &isDirectory, &isReparsePoint))
        return true;
    return !isDirectory && !isReparsePoint;
}

}  // namespace

namespace QvFile {

bool IsReparsePoint(const char* path) {
    bool isDirectory = false, isReparsePoint = false;
    return path && path[0] && QvPlatform::QueryFileKind(path, &isDirectory, &isReparsePoint) && isReparsePoint;
}

bool GetFileInfo(const QvString* path, QvFileInfo* info) {
    if (!path || !info || path->GetLength() == 0)
        return false;
    info->Reset();
    if (!info->path)
        return false;
    info->path->Set(path);
    if (!IsRootWithSeparator(info->path))
        RemoveTrailingSeparator(info->path);
    if (info->path->GetLength() == 0)
        return false;

    QvPlatform::QvFileAttributes attributes;
    if (!QvPlatform::QueryFileAttributes(info->path->GetText(), &attributes))
        return false;
    info->isDirectory = attributes.isDirectory;
    info->isReparsePoint = attributes.isReparsePoint;
    if (!attributes.isDirectory)
        info->size = attributes.size;
    info->modifyTime = TicksToMillis(attributes.lastWriteTicks);
    info->createTime = TicksToMillis(attributes.creationTicks);
    return true;
}

bool FileExists(const QvString* path) {
    QvFileInfo info;
    return GetFileInfo(path, &info);
}

bool FileExists(const char* path) {
    if (!path)
        return false;
    QvString pathString(path);
    return FileExists(&pathString);
}

int64_t GetFileSize(const char* path) {
    if (!path)
        return 0;
    QvString pathString(path);
    QvFileInfo info;
    if (!GetFileInfo(&pathString, &info))
        return 0;
    return info.size;
}

void RemoveTrailingSeparator(QvString* path) {
    int32_t length = path != nullptr ? path->GetLength() : 0;
    if (length > 0 && IsPathSeparator(path->GetText()[length - 1]))
        path->SetLength(length - 1);
}

bool StripLastPathComponent(char* path) {
    if (!path)
        return false;
    size_t n = strlen(path);
    if (n == 0)
        return false;
    if (IsPathSeparator(path[n - 1])) {
        if (n == 1 || (n == 3 && path[1] == ':'))
            return false;
        --n;
    }
    size_t p = n;
    while (p > 0 && !IsPathSeparator(path[p - 1]))
        --p;
    if (p == 0)
        return false;  // no separator at all
    --p;               // index of the separator
    if (p > 0) {
        if (p == 2 && path[1] == ':')
            path[3] = '\0';  // C:\x -> C:\ keeps the root's separator
        else
            path[p] = '\0';
        return true;
    }
    if (n == 1)
        return false;  // the separator is all there is
    path[1] = '\0';    // /a -> /
    return true;
}

bool CreateDirectoryTree(const char* path, bool shared) {
    if (!path)
        return false;
    if (FileExists(path))
        return true;
    size_t fullLength = strlen(path);
    if (fullLength > size_t(kMaxDirectoryTreePath))
        return false;

    char work[kDirectoryTreeBufferSize];
    memcpy(work, path, fullLength + 1);
    int levels = 0;
    do {
        if (!StripLastPathComponent(work))
            return false;
        ++levels;
    } while (!FileExists(work));

    // Every level uses the prefix decision of the full path, so that a long target
    // does not create its short parents one way and itself another.
    bool longPathPrefix = QvPlatform::NeedsLongPathPrefix(int32_t(fullLength));
    for (int level = levels - 1; level >= 0; --level) {
        memcpy(work, path, fullLength + 1);
        for (int cut = 0; cut < level; ++cut)
            StripLastPathComponent(work);
        if (!QvPlatform::CreateOneDirectory(work, longPathPrefix, shared))
            return false;
    }
    return true;
}

bool GetTempDir(QvString* out) {
    if (!out)
        return false;
    QvFilePrivate::TempDirState& state = QvFilePrivate::TempDir();
    std::lock_guard<std::mutex> guard(state.lock);
    QvString& cache = state.dir;
    if (cache.GetLength() == 0) {
        QvString text;
        // A path the tree walk could not handle is no better than none.
        if (!QvPlatform::QueryTempPath(&text) || text.GetLength() == 0 ||
            text.GetLength() > kMaxDirectoryTreePath)
            text.Set(kFallbackTempDir);
        RemoveTrailingSeparator(&text);
        CreateDirectoryTree(text.GetText(), true);
        text.AppendChar('\\');
        cache.Set(&text);
    }
    out->Set(&cache);
    return true;
}

char* ReadWholeFile(const char* path, int32_t* length) {
    if (!length)
        return nullptr;
    *length = 0;
    if (!path)
        return nullptr;

    // One status query gives both the size and the existence, so a query that fails (even
    // for lack of memory) can never make an existing file read as empty.
    QvString pathText(path);
    QvFileInfo info;
    if (!GetFileInfo(&pathText, &info))
        return nullptr;
    int64_t size = info.isDirectory ? 0 : info.size;
    if (size > kMaxReadWholeFileSize)
        return nullptr;
    uint32_t readSize = uint32_t(size);
    if (size == 0) {
        // Pseudo files report no size but have content; everything else of size 0
        // (an empty file, a directory) reads as the empty text.
        if (strncmp(path, "/proc/", 6) == 0) {
            readSize = uint32_t(kProcReadSize);
        } else {
            char* empty = static_cast<char*>(QvPlatform::Malloc(1));
            if (empty)
                empty[0] = '\0';
            return empty;
        }
    }

    char* buffer = static_cast<char*>(QvPlatform::Malloc(size_t(readSize) + kReadSlack));
    if (!buffer)
        return nullptr;
    uint32_t bytesRead = 0;
    if (!QvPlatform::ReadFileNoReparse(path, buffer, readSize, &bytesRead) || bytesRead > readSize) {
        QvPlatform::Free(buffer);
        return nullptr;
    }
    buffer[bytesRead] = '\0';
    *length = int32_t(bytesRead);
    return buffer;
}

bool ReadFileToString(const char* path, QvString* out) {
    if (!out)
        return false;
    out->Set("");
    if (!path)
        return false;
    int32_t length = 0;
    char* bytes = ReadWholeFile(path, &length);
    if (!bytes)
        return false;
    out->Set(bytes, length);
    QvPlatform::Free(bytes);
    return out->GetLength() == length;
}

char* ReadWholeFileRetrying(const char* path, int32_t* length, const QvReadRetry& retry, QvIsWholeRead isWhole) {
    char* text = nullptr;
    ReadRetrying(retry, [&] {
        text = ReadWholeFile(path, length);
        if (text && (!isWhole || isWhole(text, *length)))
            return true;
        QvPlatform::Free(text);
        text = nullptr;
        if (length)
            *length = 0;
        return false;
    });
    return text;
}

bool ReadFileToStringRetrying(const char* path, QvString* out, const QvReadRetry& retry, QvIsWholeRead isWhole) {
    return ReadRetrying(retry, [&] {
        return ReadFileToString(path, out) && (!isWhole || isWhole(out->GetText(), out->GetLength()));
    });
}

bool WriteWholeFile(const char* path, const void* data, int32_t count) {
    if (!path || !path[0] || !data || count < 0)
        return false;
    if (!IsWritableTarget(path))
        return false;
    return QvPlatform::WriteFileBytes(path, QvPlatform::QvWriteMode::Truncate, data,
                                      uint32_t(count));
}

bool AppendToFile(const char* path, const QvString* text) {
    if (!path || !path[0] || !text)
        return false;
    if (text->GetLength() == 0)
        return true;
    if (!IsWritableTarget(path))
        return false;
    return QvPlatform::WriteFileBytes(path, QvPlatform::QvWriteMode::Append, text->GetText(),
                                      uint32_t(text->GetLength()));
}

bool RemoveFile(const char* path) {
    if (!path)
        return false;
    switch (QvPlatform::DeleteOneFile(path)) {
    case QvPlatform::QvDeleteResult::Deleted:
        return true;
    case QvPlatform::QvDeleteResult::AccessDenied:
        // Usually a read-only mark: clear it and try once more.
        return QvPlatform::SetNormalFileAttributes(path) &&
               QvPlatform::DeleteOneFile(path) == QvPlatform::QvDeleteResult::Deleted;
    case QvPlatform::QvDeleteResult::OtherFailure:
        break;
    }
    // Absent or in use: nothing the caller could do about it.
    return true;
}

}  // namespace QvFile

namespace QvFilePrivate {
TempDirState& TempDir() {
    static QvUntilExit<TempDirState> state;
    return *state;
}
}  // namespace QvFilePrivate
