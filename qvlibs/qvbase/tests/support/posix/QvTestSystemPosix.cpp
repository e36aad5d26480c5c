// Test support for the system services, POSIX: writes the directory store that the
// registry backend reads (keys are folders, string values files of UTF-8 text, "@" the
// default value, a leading 0 byte marks another type).
#include "QvTestSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "QvTempDir.h"
#include "system/posix/QvRegistryStorePosix.h"

namespace {

bool KeyFolder(uint32_t root, const std::string& keyPath, bool create, std::string* folder) {
    const char* store = getenv(QvRegistryStore::kRootVariable);
    const char* rootName = QvRegistryStore::RootFolderName(root);
    if (!store || !store[0] || !rootName)
        return false;
    std::string path = std::string(store) + "\\" + rootName;
    if (!keyPath.empty())
        path += "\\" + keyPath;
    if (create) {
        for (size_t i = 1; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '\\') {
                std::string prefix = path.substr(0, i);
                if (!QvTestFs::Exists(prefix) && !QvTestFs::MakeDir(prefix))
                    return false;
            }
        }
    }
    *folder = path;
    return true;
}

std::string ValueFile(const std::string& folder, const std::string& valueName) {
    return folder + "\\" + (valueName.empty() ? std::string(QvRegistryStore::kDefaultValueFileName) : valueName);
}

std::string Native(std::string path) {
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

}  // namespace

namespace QvTestSystem {

bool UseRegistryStore(const std::string& folder) { return SetEnv(QvRegistryStore::kRootVariable, folder); }

bool WriteRegistryString(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         const std::string& utf8Value) {
    std::string folder;
    return KeyFolder(root, keyPath, true, &folder) &&
           QvTestFs::WriteFile(ValueFile(folder, valueName), utf8Value);
}

bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         uint32_t value) {
    std::string folder;
    std::string content(1, '\0');
    content.append(reinterpret_cast<const char*>(&value), sizeof(value));
    return KeyFolder(root, keyPath, true, &folder) && QvTestFs::WriteFile(ValueFile(folder, valueName), content);
}

bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName) {
    std::string folder;
    return KeyFolder(root, keyPath, false, &folder) &&
           unlink(Native(ValueFile(folder, valueName)).c_str()) == 0;
}

bool DeleteRegistryTree(uint32_t root, const std::string& keyPath) {
    std::string folder;
    if (!KeyFolder(root, keyPath, false, &folder))
        return false;
    return !QvTestFs::Exists(folder) || QvTestFs::RemoveTree(folder);
}

bool SetEnv(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnv(const std::string& name) { return unsetenv(name.c_str()) == 0; }

std::string GetEnv(const std::string& name, bool* isSet) {
    const char* value = getenv(name.c_str());
    if (isSet)
        *isSet = value != nullptr;
    return value ? value : "";
}

std::string GetProgramDir() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return "";
    std::string dir(path, size_t(n));
    return dir.substr(0, dir.rfind('/'));
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
