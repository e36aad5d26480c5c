// Test support: the per-test temporary folder; the platform work is in support/win32 and support/posix.
#include "QvTempDir.h"

QvTempDir::QvTempDir() { QvTestFs::MakeUniqueDir(&root); }  // sets root only on success

QvTempDir::~QvTempDir() {
    if (!root.empty())
        QvTestFs::RemoveTree(root);
}

std::string QvTempDir::Join(const std::string& relative) const {
    return relative.empty() ? root : root + "\\" + relative;
}

std::string QvTempDir::MakeDir(const std::string& relative) {
    std::string path = Join(relative);
    for (size_t i = root.size() + 1; i <= path.size(); ++i)
        if ((i == path.size() || path[i] == '\\' || path[i] == '/') && !QvTestFs::Exists(path.substr(0, i)) &&
            !QvTestFs::MakeDir(path.substr(0, i)))
            ADD_FAILURE() << "cannot create " << path.substr(0, i);
    return path;
}

std::string QvTempDir::MakeFile(const std::string& relative, const std::string& content) {
    std::string path = Join(relative);
    EXPECT_TRUE(QvTestFs::WriteFile(path, content)) << "cannot write " << path;
    return path;
}


