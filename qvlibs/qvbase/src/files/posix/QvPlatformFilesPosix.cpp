// POSIX backend of the files seam (Linux and other Unix systems). The nearest equivalents
// of the Windows notions:
// - platform path: the UTF-8 path with every "\" turned into "/", no long-path prefix;
// - reparse point: a symbolic link (lstat; files are opened with O_NOFOLLOW); a link
//   reports size 0 and the directory flag of its target, as a Windows link does;
// - times: modification = st_mtim; creation = the birth time where statx reports one,
//   otherwise the status-change time st_ctim;
// - shared access list: explicit permission bits 0666 for files and 0777 for directories,
//   set after creation so that the umask does not narrow them; default security is the
//   umask-narrowed default of open and mkdir;
// - file sharing modes have no equivalent and are not imitated;
// - temporary path: $TMPDIR when set and not empty, else "/tmp".
#include "files/QvPlatformFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"

namespace {

const mode_t kSharedFileMode = 0666;
const mode_t kSharedDirectoryMode = 0777;
const mode_t kDefaultDirectoryMode = 0777;

// A symbolic link is the reparse point; it counts as a directory when its target is one.
void TakeKind(const char* posixPath, const struct stat& st, bool* isDirectory, bool* isReparsePoint) {
    *isReparsePoint = S_ISLNK(st.st_mode);
    *isDirectory = S_ISDIR(st.st_mode);
    if (*isReparsePoint) {
        struct stat target;
        *isDirectory = stat(posixPath, &target) == 0 && S_ISDIR(target.st_mode);
    }
}

// The platform path: the same bytes with "/" for every "\\". Short paths (all the usual
// ones) are converted on the stack, longer ones in a block of their own. Not valid for a
// null or empty path, or when the block cannot be had.
class PosixPath {
public:
    explicit PosixPath(const char* path) {
        if (!path || !path[0])
            return;
        const size_t length = strlen(path);
        if (length < sizeof local) {
            text = local;
        } else {
            owned = static_cast<char*>(QvPlatform::Malloc(length + 1));
            text = owned;
        }
        if (!text)
            return;
        memcpy(text, path, length + 1);
        for (char* slash = static_cast<char*>(memchr(text, '\\', length)); slash;
             slash = static_cast<char*>(memchr(slash + 1, '\\', length - size_t(slash + 1 - text))))
            *slash = '/';
    }
    PosixPath(const PosixPath&) = delete;
    PosixPath& operator=(const PosixPath&) = delete;
    ~PosixPath() { QvPlatform::Free(owned); }

    bool IsValid() const { return text != nullptr; }
    const char* GetText() const { return text; }

private:
    char local[256];
    char* owned = nullptr;
    char* text = nullptr;
};

int64_t ToTicks(int64_t seconds, int64_t nanoseconds) {
    return int64_t(QvPlatform::kFileTimeTicksAt1970) + seconds * int64_t(QvPlatform::kFileTimeTicksPerSecond) +
           nanoseconds / int64_t(QvPlatform::kNanosecondsPerFileTimeTick);
}

int OpenRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC | O_NOFOLLOW, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens for writing in the given mode; when no file exists, creates a new one with the
// shared permission bits. A missing parent fails both attempts.
int OpenForWrite(const char* path, QvPlatform::QvWriteMode mode) {
    int modeFlag = mode == QvPlatform::QvWriteMode::Append ? O_APPEND : O_TRUNC;
    int fd = OpenRetrying(path, O_WRONLY | modeFlag, 0);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | (modeFlag & O_APPEND), kSharedFileMode);
    if (fd >= 0)
        fchmod(fd, kSharedFileMode);
    return fd;
}

}  // namespace

namespace QvPlatform {

bool QueryFileAttributes(const char* path, QvFileAttributes* out) {
    PosixPath posixPath(path);
    if (!out || !posixPath.IsValid())
        return false;
    const char* p = posixPath.GetText();
    struct stat st;
    if (lstat(p, &st) != 0)
        return false;
    TakeKind(p, st, &out->isDirectory, &out->isReparsePoint);
    out->size = S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
    out->lastWriteTicks = ToTicks(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    out->creationTicks = ToTicks(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
#ifdef STATX_BTIME
    struct statx sx;
    if (statx(AT_FDCWD, p, AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME))
        out->creationTicks = ToTicks(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
#endif
    return true;
}

bool QueryFileKind(const char* path, bool* isDirectory, bool* isReparsePoint) {
    PosixPath posixPath(path);
    struct stat st;
    if (!posixPath.IsValid() || lstat(posixPath.GetText(), &st) != 0)
        return false;
    TakeKind(posixPath.GetText(), st, isDirectory, isReparsePoint);
    return true;
}

bool CreateOneDirectory(const char* path, bool /*longPathPrefix*/, bool shared) {
    PosixPath posixPath(path);
    if (!posixPath.IsValid())
        return false;
    if (mkdir(posixPath.GetText(), kDefaultDirectoryMode) != 0)
        return false;
    if (shared)
        chmod(posixPath.GetText(), kSharedDirectoryMode);
    return true;
}

bool ReadFileNoReparse(const char* path, void* buffer, uint32_t size, uint32_t* bytesRead) {
    PosixPath posixPath(path);
    if (!buffer || !bytesRead || !posixPath.IsValid())
        return false;
    *bytesRead = 0;
    int fd = OpenRetrying(posixPath.GetText(), O_RDONLY, 0);
    if (fd < 0)
        return false;  // ELOOP for a symbolic link
    ssize_t n;
    do {
        n = read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    close(fd);
    if (n < 0)
        return false;
    *bytesRead = uint32_t(n);
    return true;
}

bool WriteFileBytes(const char* path, QvWriteMode mode, const void* data, uint32_t count) {
    PosixPath posixPath(path);
    if (!data || !posixPath.IsValid())
        return false;
    int fd = OpenForWrite(posixPath.GetText(), mode);
    if (fd < 0)
        return false;
    ssize_t n;
    do {
        n = write(fd, data, count);
    } while (n < 0 && errno == EINTR);
    bool closed = close(fd) == 0;
    return n >= 0 && uint32_t(n) == count && closed;
}

QvDeleteResult DeleteOneFile(const char* path) {
    PosixPath posixPath(path);
    if (!posixPath.IsValid())
        return QvDeleteResult::OtherFailure;
    if (unlink(posixPath.GetText()) == 0)
        return QvDeleteResult::Deleted;
    // EISDIR (Linux) and EPERM (POSIX) for a directory, as Windows denies deleting one.
    if (errno == EACCES || errno == EPERM || errno == EISDIR)
        return QvDeleteResult::AccessDenied;
    return QvDeleteResult::OtherFailure;
}

bool SetNormalFileAttributes(const char* path) {
    PosixPath posixPath(path);
    if (!posixPath.IsValid())
        return false;
    struct stat st;
    // chmod would follow a link to its target; a link has no mode of its own.
    if (lstat(posixPath.GetText(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    return chmod(posixPath.GetText(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0;
}

bool NativeQueryTempPath(QvString* out) {
    if (!out)
        return false;
    const char* dir = getenv("TMPDIR");
    out->Set(dir && dir[0] ? dir : "/tmp");
    return out->GetLength() > 0;
}

}  // namespace QvPlatform
