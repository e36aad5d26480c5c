#pragma once
// Test support: a fresh temporary folder per test, removed afterwards with everything in it (links are
// removed, never followed). Paths are UTF-8 with "\" as separator, the form the library takes.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

class QvTempDir {
public:
    QvTempDir();  // IsValid tells whether the folder could be made
    QvTempDir(const QvTempDir&) = delete;
    QvTempDir& operator=(const QvTempDir&) = delete;
    virtual ~QvTempDir();

    bool IsValid() const { return !root.empty(); }
    const std::string& GetPath() const { return root; }  // no trailing separator
    std::string Join(const std::string& relative) const;  // "" gives the folder itself
    // Each takes a path relative to the folder ("a\b.txt") and returns it joined.
    std::string MakeDir(const std::string& relative);  // parents included
    std::string MakeFile(const std::string& relative, const std::string& content = "");

private:
    std::string root;
};

class QvTempDirTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(temp.IsValid()) << "cannot create a temporary folder"; }
    QvTempDir temp;
};

// Platform helpers, independent of the library under test. Paths as above; links are never followed.
namespace QvTestFs {
bool IsWindows();
bool IsWine();
bool MakeUniqueDir(std::string* path);  // under the system's temporary folder
bool RemoveTree(const std::string& path);  // clears read-only marks
bool MakeDir(const std::string& path);  // one level
bool WriteFile(const std::string& path, const std::string& content);
bool ReadFile(const std::string& path, std::string* content);
bool MakeSymlink(const std::string& link, const std::string& target, bool targetIsDirectory);
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
bool SetReadOnly(const std::string& path);
bool MakeSizedFile(const std::string& path, int64_t size);  // sparse where the file system can
// Windows: the explicit access list "S-1-5-11:0x1f01ff;S-1-5-18:0x1f01ff" ("" without one); POSIX "mode:0644".
std::string DescribeAccess(const std::string& path);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
}  // namespace QvTestFs
