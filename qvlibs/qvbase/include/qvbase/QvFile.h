#pragma once
// QvFile: every file and directory access of the program. Paths are UTF-8 with "\" (or
// "/") as separator. Reparse points (symbolic links, junctions) are never followed when a
// file is read or written; files and directories the program creates get the shared
// access list. Failures are results only: nothing is logged here, callers decide.
// The XML snippet operations of the same namespace live in QvFileXml.h.

#include <cstdint>

class QvString;
class QvFileInfo;

namespace QvFile {

// Longest path CreateDirectoryTree accepts, in bytes, and the size of its working buffer.
const int32_t kMaxDirectoryTreePath = 4990;
const int32_t kDirectoryTreeBufferSize = 5000;
// ReadWholeFile refuses files above this size.
const int64_t kMaxReadWholeFileSize = 1024000000;
// A size-0 file under "/proc/" is read up to this many bytes.
const int32_t kProcReadSize = 1048576;
// ReadWholeFile allocates the read size plus this many bytes.
const int32_t kReadSlack = 10;
// Temporary directory used when the platform cannot name one.
const char* const kFallbackTempDir = "C:\\Temp";

// The path separator test of the program: "\" and "/" both separate components, on every
// platform.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Resets info, stores the path in it (one trailing "\" or "/" removed, except for "/" and
// drive roots such as "C:\") and queries it. True when the path exists, file or directory.
// False for a null or empty path or a null info; info then keeps its path and zero values.
bool GetFileInfo(const QvString* path, QvFileInfo* info);

// True when a reparse point (a symbolic link, junction or mount point) is at the path;
// the one cheapest query, for checks made often.
bool IsReparsePoint(const char* path);
// True exactly when GetFileInfo succeeds; a directory counts as existing.
bool FileExists(const QvString* path);
bool FileExists(const char* path);

// Size in bytes; 0 for a null path, a failed query or a directory.
int64_t GetFileSize(const char* path);

// Cuts the last path component off in place: C:\a\b -> C:\a, C:\a -> C:\, /a -> /.
// False (buffer unchanged) when nothing can be cut: null, empty, "C:\", "/", a bare name.
bool StripLastPathComponent(char* path);

// Drops one trailing "\" or "/" from the path, when it ends with one: the one place that
// does (GetFileInfo calls it too, after sparing the roots "/" and "C:\").
void RemoveTrailingSeparator(QvString* path);

// Creates the directory and every missing parent, with the shared access list when
// shared is true. True when something exists at the path afterwards. Paths longer than
// kMaxDirectoryTreePath bytes fail. Directories created before a failure stay.
bool CreateDirectoryTree(const char* path, bool shared);

// The temporary directory, created if missing, always ending in "\". Computed once and
// cached until exit; "C:\Temp\" when the platform names none. False only when out is null.
bool GetTempDir(QvString* out);

// The whole file in a new buffer followed by a NUL byte, its byte count in *length; null
// on failure (*length 0). An empty file or a directory gives a buffer holding only the NUL.
// The target of a reparse point is never read: a link reports size 0, so it reads as empty
// text, and a reparse point met when the file is opened is refused. Release the buffer with QvPlatform::Free
// (the C allocator's free on every platform).
char* ReadWholeFile(const char* path, int32_t* length);

// Empties out and fills it with the file's bytes. False for a null path or a failed read.
bool ReadFileToString(const char* path, QvString* out);

// How a reader retries a file that another program may be rewriting at that moment: up to
// attempts reads, with a wait of waitMillis after each read that is not whole, after the
// last one too when waitAfterLast is set. The waits go through the clock seam.
struct QvReadRetry {
    int32_t attempts;
    uint32_t waitMillis;
    bool waitAfterLast;
};
// Whether a read gave the whole file, from its bytes (NUL-terminated) and their count.
typedef bool (*QvIsWholeRead)(const char* text, int32_t length);

// ReadWholeFile again and again, as retry says, until a read succeeds and isWhole (when not
// null) accepts it. That read's buffer, or null (*length 0) when none was whole; the reads
// not taken are released.
char* ReadWholeFileRetrying(const char* path, int32_t* length, const QvReadRetry& retry, QvIsWholeRead isWhole);
// The same with ReadFileToString: true when a read into out succeeded and isWhole (when not
// null) accepted out's text.
bool ReadFileToStringRetrying(const char* path, QvString* out, const QvReadRetry& retry, QvIsWholeRead isWhole);

// Replaces the file's content with count bytes, creating the file when absent. Refused
// when the path is a directory or a reparse point, or its parent is missing. True when
// every byte was written (count 0 leaves an empty file).
bool WriteWholeFile(const char* path, const void* data, int32_t count);

// Appends the text's bytes at the end of the file, creating it when absent. True without
// touching anything when the text is empty. Same refusals as WriteWholeFile.
bool AppendToFile(const char* path, const QvString* text);

// Deletes the file, clearing a read-only mark when deletion is denied. True also when
// the file is absent or in use; false only for a null path or a failed retry.
bool RemoveFile(const char* path);

}  // namespace QvFile
