// Test support, POSIX: the file system on plain system calls, and the directory store the
// registry backend reads (keys are folders, string values files of UTF-8 text, "@" the default
// value, a leading 0 byte another type). Paths arrive with "\" and are used with "/".
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "system/posix/QvRegistryStorePosix.h"

namespace {
std::string Swap(std::string path, char from, char to) {
    for (char& c : path)
        c = c == from ? to : c;
    return path;
}
std::string Native(const std::string& path) { return Swap(path, '\\', '/'); }

// The mode of the object itself (links not followed), 0 when there is none.
mode_t Mode(const std::string& path) {
    struct stat st;
    return lstat(Native(path).c_str(), &st) == 0 ? st.st_mode : 0;
}

// Native paths only: a name below may hold a "\".
bool RemoveNative(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return true;
    if (!S_ISDIR(st.st_mode))
        return unlink(path.c_str()) == 0;
    chmod(path.c_str(), 0700);
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                RemoveNative(path + "/" + entry->d_name);
        closedir(dir);
    }
    return rmdir(path.c_str()) == 0;
}

// The value's file in the folder of the key in the store; the folder is made when create is set.
bool ValueFile(uint32_t root, const std::string& keyPath, const std::string& valueName, bool create,
               std::string* file) {
    const char *store = getenv(QvRegistryStore::kRootVariable), *rootName = QvRegistryStore::RootFolderName(root);
    if (!store || !store[0] || !rootName)
        return false;
    std::string folder = std::string(store) + "\\" + rootName + (keyPath.empty() ? "" : "\\" + keyPath);
    *file = folder + "\\" + (valueName.empty() ? std::string(QvRegistryStore::kDefaultValueFileName) : valueName);
    std::error_code error;
    return !create || std::filesystem::create_directories(Native(folder), error) || !error;
}
}  // namespace

namespace QvTestFs {
bool IsWindows() { return false; }
bool IsWine() { return false; }

bool MakeUniqueDir(std::string* path) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/qvtest-XXXXXX";
    bool made = mkdtemp(&pattern[0]) != nullptr;
    *path = made ? Swap(pattern, '/', '\\') : *path;
    return made;
}

bool RemoveTree(const std::string& path) { return RemoveNative(Native(path)); }
bool MakeDir(const std::string& path) { return mkdir(Native(path).c_str(), 0777) == 0; }

bool WriteFile(const std::string& path, const std::string& content) {
    FILE* f = fopen(Native(path).c_str(), "wb");
    bool ok = f && fwrite(content.data(), 1, content.size(), f) == content.size();
    return f && fclose(f) == 0 && ok;
}

bool ReadFile(const std::string& path, std::string* content) {
    content->clear();
    FILE* f = fopen(Native(path).c_str(), "rb");
    char chunk[4096];
    for (size_t n; f && (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
        content->append(chunk, n);
    return f && fclose(f) == 0;
}

bool MakeSymlink(const std::string& link, const std::string& target, bool) {
    return symlink(Native(target).c_str(), Native(link).c_str()) == 0;
}
bool Exists(const std::string& path) { return Mode(path) != 0; }
bool IsDirectory(const std::string& path) { return S_ISDIR(Mode(path)); }
bool SetReadOnly(const std::string& path) { return chmod(Native(path).c_str(), 0444) == 0; }
bool MakeSizedFile(const std::string& path, int64_t size) {
    return WriteFile(path, "") && truncate(Native(path).c_str(), off_t(size)) == 0;
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

namespace QvTestSystem {
bool UseRegistryStore(const std::string& folder) { return SetEnv(QvRegistryStore::kRootVariable, folder); }

bool WriteRegistryString(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         const std::string& utf8Value) {
    std::string file;
    return ValueFile(root, keyPath, valueName, true, &file) && QvTestFs::WriteFile(file, utf8Value);
}

bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName, uint32_t value) {
    std::string file, content(1, '\0');
    content.append(reinterpret_cast<const char*>(&value), sizeof(value));
    return ValueFile(root, keyPath, valueName, true, &file) && QvTestFs::WriteFile(file, content);
}

bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName) {
    std::string file;
    return ValueFile(root, keyPath, valueName, false, &file) && unlink(Native(file).c_str()) == 0;
}

bool DeleteRegistryTree(uint32_t root, const std::string& keyPath) {
    std::string file;
    return ValueFile(root, keyPath, "", false, &file) && QvTestFs::RemoveTree(file.substr(0, file.rfind('\\')));
}

bool SetEnv(const std::string& name, const std::string& value) { return setenv(name.c_str(), value.c_str(), 1) == 0; }
bool UnsetEnv(const std::string& name) { return unsetenv(name.c_str()) == 0; }
std::string GetEnv(const std::string& name, bool* isSet) {
    const char* value = getenv(name.c_str());
    if (isSet)
        *isSet = value != nullptr;
    return value ? value : "";
}

std::string GetProgramDir() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

bool CopyProgram(const std::string& source, const std::string& destination) {
    std::string content;
    return QvTestFs::ReadFile(source, &content) && QvTestFs::WriteFile(destination, content) &&
           chmod(Native(destination).c_str(), 0755) == 0;
}

bool HasUnreapedChild() {
    siginfo_t info;
    info.si_pid = 0;
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}
}  // namespace QvTestSystem
