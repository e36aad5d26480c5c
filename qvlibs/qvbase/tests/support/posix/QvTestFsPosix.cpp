// Test support, POSIX: file system helpers on plain system calls. Paths arrive with "\"
// separators and are turned into "/" here, as the library does.
#include "QvTempDir.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Swap(std::string path, char from, char to) {
    for (char& c : path) {
        if (c == from)
            c = to;
    }
    return path;
}
std::string Native(const std::string& path) { return Swap(path, '\\', '/'); }

// The mode of the object itself (links not followed), 0 when there is none.
mode_t Mode(const std::string& path) {
    struct stat st;
    return lstat(Native(path).c_str(), &st) == 0 ? st.st_mode : 0;
}

bool RemoveNative(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return true;
    if (!S_ISDIR(st.st_mode))
        return unlink(path.c_str()) == 0;
    chmod(path.c_str(), 0700);
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                RemoveNative(path + "/" + name);
        }
        closedir(dir);
    }
    return rmdir(path.c_str()) == 0;
}
}  // namespace

namespace QvTestFs {
bool IsWindows() { return false; }
bool IsWine() { return false; }

bool MakeUniqueDir(std::string* path) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/qvtest-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        return false;
    *path = Swap(pattern, '/', '\\');
    return true;
}

bool RemoveTree(const std::string& path) { return RemoveNative(Native(path)); }
bool MakeDir(const std::string& path) { return mkdir(Native(path).c_str(), 0777) == 0; }

bool WriteFile(const std::string& path, const std::string& content) {
    FILE* f = fopen(Native(path).c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
    return fclose(f) == 0 && ok;
}

bool ReadFile(const std::string& path, std::string* content) {
    content->clear();
    FILE* f = fopen(Native(path).c_str(), "rb");
    if (!f)
        return false;
    char chunk[4096];
    while (size_t n = fread(chunk, 1, sizeof chunk, f))
        content->append(chunk, n);
    fclose(f);
    return true;
}

bool MakeSymlink(const std::string& link, const std::string& target, bool) {
    return symlink(Native(target).c_str(), Native(link).c_str()) == 0;
}

bool Exists(const std::string& path) { return Mode(path) != 0; }
bool IsDirectory(const std::string& path) { return S_ISDIR(Mode(path)); }
bool IsSymlink(const std::string& path) { return S_ISLNK(Mode(path)); }
bool SetReadOnly(const std::string& path) { return chmod(Native(path).c_str(), 0444) == 0; }

bool MakeSizedFile(const std::string& path, int64_t size) {
    int fd = open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = ftruncate(fd, off_t(size)) == 0;
    return close(fd) == 0 && ok;
}

std::string DescribeAccess(const std::string& path) {
    char text[32];
    snprintf(text, sizeof text, "mode:%04o", unsigned(Mode(path) & 07777));
    return Exists(path) ? text : "";
}

std::string GetCurrentDir() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? Swap(buffer, '/', '\\') : std::string();
}

bool SetCurrentDir(const std::string& path) { return chdir(Native(path).c_str()) == 0; }
}  // namespace QvTestFs
