#pragma once
// Test support: a fresh temporary folder per test, removed afterwards with everything in
// it (links are removed, never followed). Paths are UTF-8 with "\" as separator, the form
// the library takes. Use QvTempDirTest as a fixture base, or a QvTempDir object directly.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

class QvTempDir {
public:
    QvTempDir();  // creates the folder; IsValid tells whether that worked
    QvTempDir(const QvTempDir&) = delete;
    QvTempDir& operator=(const QvTempDir&) = delete;
    virtual ~QvTempDir();  // removes the folder and its content

    bool IsValid() const { return !root.empty(); }
    const std::string& GetPath() const { return root; }  // no trailing separator
    // GetPath() + "\" + relative ("" gives the folder itself).
    std::string Join(const std::string& relative) const;

    // Each takes a path relative to the folder ("a\b.txt") and returns it joined.
    std::string MakeDir(const std::string& relative);  // parents included
    std::string MakeFile(const std::string& relative, const std::string& content = "");
    // A symbolic link at relative pointing to target (absolute, or relative to the link).
    // Empty result when the platform refuses (no privilege): skip the test then.
    std::string MakeSymlink(const std::string& relative, const std::string& target,
                            bool targetIsDirectory);

private:
    std::string root;
};

class QvTempDirTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(temp.IsValid()) << "cannot create a temporary folder"; }
    QvTempDir temp;
};

// Platform helpers for tests, independent of the library under test. Paths as above.
namespace QvTestFs {
bool IsWindows();
bool IsWine();  // running on Windows under Wine
bool MakeUniqueDir(std::string* path);  // a fresh folder under the system's temporary folder
bool RemoveTree(const std::string& path);  // not following links; clears read-only marks
bool MakeDir(const std::string& path);  // one level
bool WriteFile(const std::string& path, const std::string& content);
bool ReadFile(const std::string& path, std::string* content);
bool MakeSymlink(const std::string& link, const std::string& target, bool targetIsDirectory);
bool Exists(const std::string& path);  // the object itself, links not followed
bool IsDirectory(const std::string& path);  // links not followed
bool IsSymlink(const std::string& path);
bool SetReadOnly(const std::string& path);
// A file of the given size without writing its content (sparse where the file system can).
bool MakeSizedFile(const std::string& path, int64_t size);
// Access of a file or folder in a comparable form: on Windows the entries of its access
// list "S-1-5-11:0x1f01ff;S-1-5-18:0x1f01ff" (explicit list) or "" when it has none;
// on POSIX "mode:0644" (the permission bits).
std::string DescribeAccess(const std::string& path);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
}  // namespace QvTestFs
