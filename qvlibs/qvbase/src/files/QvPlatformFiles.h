#pragma once
// The platform seam, files and directories. Paths arrive as UTF-8 with "\" or "/" as
// separators; each backend forms its own platform path from them (Windows: UTF-16 with
// the "\\?\" prefix for long paths; POSIX: every "\" turned into "/"). Each call does a
// whole task (query, create one directory, open-read-close, open-write-close, delete)
// and reports only whether it worked: no error codes travel upwards.

#include <cstdint>

class QvString;

namespace QvPlatform {

// A UTF-8 path longer than this many bytes gets the "\\?\" prefix on Windows.
const int32_t kLongPathThreshold = 250;
inline bool NeedsLongPathPrefix(int32_t utf8Length) { return utf8Length > kLongPathThreshold; }

struct QvFileAttributes {
    bool isDirectory;
    bool isReparsePoint;
    int64_t size;            // of the object itself (a link's own size on POSIX)
    int64_t creationTicks;   // 100 ns ticks since 1601-01-01 UTC
    int64_t lastWriteTicks;
};

// Standard attribute information of the object at the path (links are not followed).
bool QueryFileAttributes(const char* path, QvFileAttributes* out);
// Only what kind of object is at the path, as QueryFileAttributes gives it, in the one
// cheapest query (the log writer asks it twice for every line). False when nothing is there.
bool QueryFileKind(const char* path, bool* isDirectory, bool* isReparsePoint);

// Creates one directory. The long-path prefix is decided by the caller (a directory tree
// decides once, from the full target path). shared: with the shared access list when it
// can be built, default security otherwise. False when anything exists at the name.
bool CreateOneDirectory(const char* path, bool longPathPrefix, bool shared);

// Opens an existing file for reading without following reparse points (a file that is
// one is refused), reads up to size bytes in one request and closes it.
bool ReadFileNoReparse(const char* path, void* buffer, uint32_t size, uint32_t* bytesRead);

enum class QvWriteMode { Truncate, Append };
// Opens for writing (an existing file in the given mode; when there is none, a new file
// with the shared access list; a missing parent is final), writes count bytes in one
// request and closes. True when every byte was written.
bool WriteFileBytes(const char* path, QvWriteMode mode, const void* data, uint32_t count);

enum class QvDeleteResult { Deleted, AccessDenied, OtherFailure };
QvDeleteResult DeleteOneFile(const char* path);
// Clears every attribute the file system lets us clear (read-only in particular).
bool SetNormalFileAttributes(const char* path);

// The platform's temporary folder as UTF-8 (Windows: GetTempPathW; POSIX: $TMPDIR,
// else "/tmp"). False when the platform names none.
bool NativeQueryTempPath(QvString* out);

// The call a test replaces (a platform that names no temporary folder), as a table like
// the memory seam's; the backend's otherwise.
struct QvFilesMethods {
    bool (*queryTempPath)(QvString* out);
};
extern QvFilesMethods filesMethods;
extern const QvFilesMethods kNativeFilesMethods;
inline bool QueryTempPath(QvString* out) { return filesMethods.queryTempPath(out); }

}  // namespace QvPlatform
