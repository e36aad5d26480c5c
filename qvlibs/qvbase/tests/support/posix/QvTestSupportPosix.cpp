// Test support, POSIX: the file system on plain system calls, and the directory store that
// the registry backend reads (keys are folders, string values files of UTF-8 text, "@" the
// default value, a leading 0 byte marks another type). Paths arrive with "\" separators and
// are turned into "/" here, as the library does.
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
namespace fs = std::filesystem;

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

// The folder of a registry key in the store, made when create is set.
bool KeyFolder(uint32_t root, const std::string& keyPath, bool create, std::string* folder) {
    const char* store = getenv(QvRegistryStore::kRootVariable);
    const char* rootName = QvRegistryStore::RootFolderName(root);
    if (!store || !store[0] || !rootName)
        return false;
    *folder = std::string(store) + "\\" + rootName + (keyPath.empty() ? "" : "\\" + keyPath);
    std::error_code error;
    return !create || fs::create_directories(Native(*folder), error) || !error;
}

std::string ValueFile(const std::string& folder, const std::string& valueName) {
    return folder + "\\" + (valueName.empty() ? std::string(QvRegistryStore::kDefaultValueFileName) : valueName);
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
    std::string folder;
    return KeyFolder(root, keyPath, true, &folder) && QvTestFs::WriteFile(ValueFile(folder, valueName), utf8Value);
}

bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName, uint32_t value) {
    std::string folder, content(1, '\0');
    content.append(reinterpret_cast<const char*>(&value), sizeof(value));
    return KeyFolder(root, keyPath, true, &folder) && QvTestFs::WriteFile(ValueFile(folder, valueName), content);
}

bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName) {
    std::string folder;
    return KeyFolder(root, keyPath, false, &folder) && unlink(Native(ValueFile(folder, valueName)).c_str()) == 0;
}

bool DeleteRegistryTree(uint32_t root, const std::string& keyPath) {
    std::string folder;
    return KeyFolder(root, keyPath, false, &folder) && QvTestFs::RemoveTree(folder);
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
    return fs::read_symlink("/proc/self/exe", error).parent_path().string();
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
