// Tests of the file and directory operations, each in a fresh temporary folder.
#include "qvbase/QvFile.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformFiles.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFileInfo.h"
#include "qvbase/QvString.h"

namespace {

class QvFileTest : public QvTempDirTest {
protected:
    // The file's bytes as read by ReadWholeFile, or "<null>".
    static std::string ReadWhole(const std::string& path, int32_t* length = nullptr) {
        int32_t n = -1;
        char* bytes = QvFile::ReadWholeFile(path.c_str(), &n);
        if (length)
            *length = n;
        if (!bytes)
            return "<null>";
        std::string out(bytes, size_t(n));
        EXPECT_EQ('\0', bytes[n]) << "no terminator after the bytes of " << path;
        QvPlatform::Free(bytes);
        return out;
    }
    static std::string Content(const std::string& path) {
        std::string out;
        return QvTestFs::ReadFile(path, &out) ? out : "<unreadable>";
    }
};

int64_t NowMillis() {
    return int64_t(QvPlatform::GetSystemFileTime() / 10000) - 11644473600000LL;
}

TEST(QvFile, StatusQueryRemovesOneTrailingSeparatorExceptFromRoots) {
    struct Case { const char* path; const char* stored; };
    const Case cases[] = {
        {"C:\\data\\", "C:\\data"}, {"C:\\", "C:\\"},     {"/", "/"},
        {"C:/", "C:"},              {"C:\\a\\\\", "C:\\a\\"}, {"x/y/", "x/y"},
        {"\\", ""},                 {"nothing-here", "nothing-here"},
    };
    for (const Case& c : cases) {
        QvString path(c.path);
        QvFileInfo info;
        info.size = 99;
        QvFile::GetFileInfo(&path, &info);
        EXPECT_STREQ(c.stored, info.path->GetText()) << "path " << c.path;
    }
    QvString missing("qv-no-such-file-here");
    QvFileInfo info;
    info.size = 5;
    info.isDirectory = true;
    EXPECT_FALSE(QvFile::GetFileInfo(&missing, &info));
    EXPECT_EQ(0, info.size);
    EXPECT_FALSE(info.isDirectory);
    QvString empty("");
    EXPECT_FALSE(QvFile::GetFileInfo(&empty, &info));
    EXPECT_FALSE(QvFile::GetFileInfo(nullptr, &info));
    EXPECT_FALSE(QvFile::GetFileInfo(&missing, nullptr));
    EXPECT_FALSE(QvFile::FileExists(static_cast<const char*>(nullptr)));
}

TEST(QvFile, StripLastPathComponentCutsOneLevelAndKeepsRoots) {
    struct Case { const char* path; const char* result; };  // result null: fails, unchanged
    const Case cases[] = {
        {"C:\\a\\b", "C:\\a"}, {"C:\\a", "C:\\"},   {"C:\\a\\", "C:\\"},  {"C:\\", nullptr},
        {"/a", "/"},           {"/", nullptr},      {"name", nullptr},    {"", nullptr},
        {"a\\b\\", "a"},       {"x/y/z", "x/y"},    {"//", nullptr},      {"\\\\srv\\share", "\\\\srv"},
        {"C:a\\b", "C:a"},     {"a\\", nullptr},
    };
    for (const Case& c : cases) {
        char buffer[64];
        strcpy(buffer, c.path);
        bool cut = QvFile::StripLastPathComponent(buffer);
        EXPECT_EQ(c.result != nullptr, cut) << "path " << c.path;
        EXPECT_STREQ(c.result ? c.result : c.path, buffer) << "path " << c.path;
    }
    EXPECT_FALSE(QvFile::StripLastPathComponent(nullptr));
}

TEST(QvFile, LongPathPrefixStartsAbove250Bytes) {
    EXPECT_FALSE(QvPlatform::NeedsLongPathPrefix(250));
    EXPECT_TRUE(QvPlatform::NeedsLongPathPrefix(251));
}

TEST_F(QvFileTest, StatusOfFileAndDirectory) {
    std::string file = temp.MakeFile("f.txt", "12345");
    std::string dir = temp.MakeDir("d");
    temp.MakeFile("d\\inner", "xx");
    int64_t now = NowMillis();
    const int64_t day = 86400000;

    QvString filePath(file.c_str());
    QvFileInfo info;
    ASSERT_TRUE(QvFile::GetFileInfo(&filePath, &info));
    EXPECT_EQ(5, info.size);
    EXPECT_FALSE(info.isDirectory);
    EXPECT_FALSE(info.isReparsePoint);
    EXPECT_NEAR(double(now), double(info.modifyTime), double(day));
    EXPECT_NEAR(double(now), double(info.createTime), double(day));
    EXPECT_EQ(5, QvFile::GetFileSize(file.c_str()));

    QvString dirPath((dir + "\\").c_str());
    ASSERT_TRUE(QvFile::GetFileInfo(&dirPath, &info));
    EXPECT_STREQ(dir.c_str(), info.path->GetText());
    EXPECT_TRUE(info.isDirectory);
    EXPECT_EQ(0, info.size);
    EXPECT_TRUE(QvFile::FileExists(dir.c_str()));
    EXPECT_EQ(0, QvFile::GetFileSize(dir.c_str()));
    EXPECT_EQ(0, QvFile::GetFileSize(temp.Join("missing").c_str()));
    EXPECT_EQ(0, QvFile::GetFileSize(nullptr));
}

TEST_F(QvFileTest, SymbolicLinksAreReparsePoints) {
    std::string target = temp.MakeFile("target.txt", "secret");
    std::string dirTarget = temp.MakeDir("dir");
    std::string dirLink = temp.MakeSymlink("dirlink", dirTarget, true);
    std::string fileLink = temp.MakeSymlink("filelink", target, false);
    if (dirLink.empty() || fileLink.empty())
        GTEST_SKIP() << "symbolic links cannot be created here (no privilege)";

    QvString dirLinkPath(dirLink.c_str());
    QvFileInfo info;
    ASSERT_TRUE(QvFile::GetFileInfo(&dirLinkPath, &info));
    EXPECT_TRUE(info.isReparsePoint);
    EXPECT_TRUE(info.isDirectory);

    if (QvTestFs::IsWine())
        GTEST_SKIP() << "wine: a symbolic link to a file is not a reparse point";
    QvString fileLinkPath(fileLink.c_str());
    ASSERT_TRUE(QvFile::GetFileInfo(&fileLinkPath, &info));
    EXPECT_TRUE(info.isReparsePoint);
    EXPECT_FALSE(info.isDirectory);
    // The link is never opened through: its own size is 0, so it reads as empty text,
    // and the open that refuses reparse points refuses it.
    EXPECT_EQ("", ReadWhole(fileLink));
    char buffer[16];
    uint32_t got = 99;
    EXPECT_FALSE(QvPlatform::ReadFileNoReparse(fileLink.c_str(), buffer, sizeof buffer, &got));
    EXPECT_TRUE(QvPlatform::ReadFileNoReparse(target.c_str(), buffer, sizeof buffer, &got));
    EXPECT_EQ(6u, got);
}

TEST_F(QvFileTest, WritesAreRefusedOnDirectoriesAndLinks) {
    std::string dir = temp.MakeDir("dir");
    QvString text("data");
    EXPECT_FALSE(QvFile::WriteWholeFile(dir.c_str(), "x", 1));
    EXPECT_FALSE(QvFile::AppendToFile(dir.c_str(), &text));
    EXPECT_TRUE(QvTestFs::IsDirectory(dir));

    std::string dirLink = temp.MakeSymlink("dirlink", dir, true);
    if (dirLink.empty())
        GTEST_SKIP() << "symbolic links cannot be created here (no privilege)";
    EXPECT_FALSE(QvFile::WriteWholeFile(dirLink.c_str(), "x", 1));
    EXPECT_TRUE(QvTestFs::IsSymlink(dirLink));

    std::string target = temp.MakeFile("target.txt", "original");
    std::string fileLink = temp.MakeSymlink("filelink", target, false);
    ASSERT_FALSE(fileLink.empty());
    if (QvTestFs::IsWine())
        GTEST_SKIP() << "wine: a symbolic link to a file is not a reparse point (the POSIX "
                        "build covers the refusal)";
    EXPECT_FALSE(QvFile::WriteWholeFile(fileLink.c_str(), "changed", 7));
    EXPECT_FALSE(QvFile::AppendToFile(fileLink.c_str(), &text));
    EXPECT_EQ("original", Content(target));
    EXPECT_TRUE(QvTestFs::IsSymlink(fileLink));
}

TEST_F(QvFileTest, WriteTruncatesCreatesAndAppends) {
    std::string file = temp.MakeFile("f.txt", "a longer original text");
    EXPECT_TRUE(QvFile::WriteWholeFile(file.c_str(), "short", 5));
    EXPECT_EQ("short", Content(file));

    QvString more(" and more");
    EXPECT_TRUE(QvFile::AppendToFile(file.c_str(), &more));
    EXPECT_EQ("short and more", Content(file));

    std::string created = temp.Join("new.txt");
    EXPECT_TRUE(QvFile::AppendToFile(created.c_str(), &more));
    EXPECT_EQ(" and more", Content(created));

    std::string binary = temp.Join("bin");
    const char bytes[] = {'a', '\0', 'b'};
    EXPECT_TRUE(QvFile::WriteWholeFile(binary.c_str(), bytes, 3));
    EXPECT_EQ(std::string(bytes, 3), Content(binary));
    EXPECT_TRUE(QvFile::WriteWholeFile(binary.c_str(), bytes, 0));
    EXPECT_TRUE(QvTestFs::Exists(binary));
    EXPECT_EQ("", Content(binary));

    // Only CreateDirectoryTree creates directories.
    std::string orphan = temp.Join("nodir\\f.txt");
    EXPECT_FALSE(QvFile::WriteWholeFile(orphan.c_str(), "x", 1));
    EXPECT_FALSE(QvFile::AppendToFile(orphan.c_str(), &more));
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("nodir")));

    QvString empty("");
    EXPECT_TRUE(QvFile::AppendToFile(orphan.c_str(), &empty));
    EXPECT_FALSE(QvFile::WriteWholeFile(file.c_str(), nullptr, 0));
    EXPECT_FALSE(QvFile::WriteWholeFile("", "x", 1));
    EXPECT_FALSE(QvFile::AppendToFile(file.c_str(), nullptr));
    EXPECT_FALSE(QvFile::AppendToFile(nullptr, &empty));
}

TEST_F(QvFileTest, CreatedFilesAndSharedDirectoriesGetTheSharedAccess) {
    std::string file = temp.Join("new.txt");
    ASSERT_TRUE(QvFile::WriteWholeFile(file.c_str(), "x", 1));
    std::string dir = temp.Join("shared\\sub");
    ASSERT_TRUE(QvFile::CreateDirectoryTree(dir.c_str(), true));
    if (QvTestFs::IsWine())
        GTEST_SKIP() << "wine: an explicit access list is accepted but read back altered ("
                     << QvTestFs::DescribeAccess(file) << ")";
    if (QvTestFs::IsWindows()) {
        const std::string shared = "S-1-5-11:0x1f01ff;S-1-5-18:0x1f01ff";
        EXPECT_EQ(shared, QvTestFs::DescribeAccess(file).substr(0, shared.size()));
        EXPECT_EQ(shared, QvTestFs::DescribeAccess(dir).substr(0, shared.size()));
        EXPECT_EQ(shared, QvTestFs::DescribeAccess(temp.Join("shared")).substr(0, shared.size()));
    } else {
        EXPECT_EQ("mode:0666", QvTestFs::DescribeAccess(file));
        EXPECT_EQ("mode:0777", QvTestFs::DescribeAccess(dir));
        EXPECT_EQ("mode:0777", QvTestFs::DescribeAccess(temp.Join("shared")));
    }
}

TEST_F(QvFileTest, CreateDirectoryTreeCreatesMissingLevelsTopDown) {
    temp.MakeDir("x");
    std::string target = temp.Join("x\\y\\z");
    EXPECT_TRUE(QvFile::CreateDirectoryTree(target.c_str(), false));
    EXPECT_TRUE(QvTestFs::IsDirectory(temp.Join("x\\y")));
    EXPECT_TRUE(QvTestFs::IsDirectory(target));
    EXPECT_TRUE(QvFile::CreateDirectoryTree((target + "\\").c_str(), false));

    // Any object at the path counts as existing.
    std::string file = temp.MakeFile("file", "x");
    EXPECT_TRUE(QvFile::CreateDirectoryTree(file.c_str(), false));
    EXPECT_FALSE(QvTestFs::IsDirectory(file));
    // A file in the way of a level ends the walk with false.
    EXPECT_FALSE(QvFile::CreateDirectoryTree((file + "\\a\\b").c_str(), false));

    // Levels created before a failure stay: a component no file system takes.
    std::string tooLong = temp.Join("p\\q\\") + std::string(300, 'n');
    EXPECT_FALSE(QvFile::CreateDirectoryTree(tooLong.c_str(), false));
    EXPECT_TRUE(QvTestFs::IsDirectory(temp.Join("p\\q")));

    // No existing ancestor: nothing to build on, nothing created.
    EXPECT_FALSE(QvFile::CreateDirectoryTree("qv-bare-relative-name", false));
    EXPECT_FALSE(QvTestFs::Exists("qv-bare-relative-name"));
    EXPECT_FALSE(QvFile::CreateDirectoryTree(nullptr, false));
}

TEST_F(QvFileTest, CreateDirectoryTreeRefusesPathsOver4990Bytes) {
    for (size_t length : {size_t(4990), size_t(4991)}) {
        std::string first = temp.Join(std::string("L") + std::to_string(length));
        std::string path = first;
        while (path.size() + 101 <= length)
            path += "\\" + std::string(100, 'd');
        path += "\\" + std::string(length - path.size() - 1, 'e');
        ASSERT_EQ(length, path.size());
        bool created = QvFile::CreateDirectoryTree(path.c_str(), false);
        if (length == 4991) {
            EXPECT_FALSE(created);
            EXPECT_FALSE(QvTestFs::Exists(first));
        } else {
            // Started top down; POSIX (and Wine's Unix side) stop at 4096 bytes.
            EXPECT_TRUE(QvTestFs::Exists(first));
            if (QvTestFs::IsWindows() && !QvTestFs::IsWine()) {
                EXPECT_TRUE(created);
            }
        }
    }
}

TEST_F(QvFileTest, ReadWholeFileReturnsTerminatedBytes) {
    int32_t length = -1;
    EXPECT_EQ(std::string("a\0b", 3), ReadWhole(temp.MakeFile("bin", std::string("a\0b", 3)), &length));
    EXPECT_EQ(3, length);
    EXPECT_EQ("", ReadWhole(temp.MakeFile("empty"), &length));
    EXPECT_EQ(0, length);
    EXPECT_EQ("", ReadWhole(temp.MakeDir("dir"), &length));
    EXPECT_EQ(0, length);
    EXPECT_EQ("<null>", ReadWhole(temp.Join("missing"), &length));
    EXPECT_EQ(0, length);
    EXPECT_EQ(nullptr, QvFile::ReadWholeFile(nullptr, &length));
    EXPECT_EQ(nullptr, QvFile::ReadWholeFile(temp.Join("bin").c_str(), nullptr));

    QvString text("stale");
    EXPECT_TRUE(QvFile::ReadFileToString(temp.Join("bin").c_str(), &text));
    EXPECT_EQ(3, text.GetLength());
    text.Set("stale");
    EXPECT_FALSE(QvFile::ReadFileToString(temp.Join("missing").c_str(), &text));
    EXPECT_EQ(0, text.GetLength());
}

TEST_F(QvFileTest, ReadWholeFileRefusesFilesOverTheLimit) {
    std::string big = temp.Join("big");
    ASSERT_TRUE(QvTestFs::MakeSizedFile(big, QvFile::kMaxReadWholeFileSize + 1));
    int32_t length = -1;
    EXPECT_EQ("<null>", ReadWhole(big, &length));
    EXPECT_EQ(0, length);
}

TEST_F(QvFileTest, ReadWholeFileReadsSizelessProcFiles) {
    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "no /proc file system on Windows";
    int32_t length = 0;
    std::string status = ReadWhole("/proc/self/status", &length);
    EXPECT_GT(length, 0);
    EXPECT_EQ(0u, status.find("Name:")) << status;
}

TEST_F(QvFileTest, ReadWholeFileFailsCleanlyWithoutMemory) {
    std::string file = temp.MakeFile("f", "content");
    QvPlatformTest::FailAllAllocations(true);
    int32_t length = -1;
    char* bytes = QvFile::ReadWholeFile(file.c_str(), &length);
    QvPlatformTest::FailAllAllocations(false);
    EXPECT_EQ(nullptr, bytes);
    EXPECT_EQ(0, length);
}

TEST_F(QvFileTest, RemoveFileClearsReadOnlyAndIgnoresAbsentFiles) {
    std::string readOnly = temp.MakeFile("ro.txt", "x");
    ASSERT_TRUE(QvTestFs::SetReadOnly(readOnly));
    EXPECT_TRUE(QvFile::RemoveFile(readOnly.c_str()));
    EXPECT_FALSE(QvTestFs::Exists(readOnly));
    EXPECT_TRUE(QvFile::RemoveFile(temp.Join("missing").c_str()));
    EXPECT_FALSE(QvFile::RemoveFile(nullptr));
    // Deleting a directory is denied, and clearing attributes does not change that.
    std::string dir = temp.MakeDir("dir");
    EXPECT_FALSE(QvFile::RemoveFile(dir.c_str()));
    EXPECT_TRUE(QvTestFs::IsDirectory(dir));
}

TEST_F(QvFileTest, LongPathsRoundTrip) {
    std::string dir = temp.Join(std::string(120, 'a') + "\\" + std::string(120, 'b'));
    std::string file = dir + "\\" + std::string(40, 'c') + ".txt";
    ASSERT_GT(file.size(), 250u);
    ASSERT_TRUE(QvFile::CreateDirectoryTree(dir.c_str(), true));
    ASSERT_TRUE(QvFile::WriteWholeFile(file.c_str(), "long", 4));
    QvString more(" path");
    ASSERT_TRUE(QvFile::AppendToFile(file.c_str(), &more));
    EXPECT_EQ(9, QvFile::GetFileSize(file.c_str()));
    EXPECT_EQ("long path", ReadWhole(file));
    EXPECT_TRUE(QvFile::RemoveFile(file.c_str()));
    EXPECT_FALSE(QvFile::FileExists(file.c_str()));
}

TEST_F(QvFileTest, TempDirEndsInSeparatorExistsAndIsCached) {
    QvPlatformTest::ResetTempDirCache();
    QvString dir;
    ASSERT_TRUE(QvFile::GetTempDir(&dir));
    ASSERT_GT(dir.GetLength(), 1);
    EXPECT_EQ('\\', dir.GetText()[dir.GetLength() - 1]);
    EXPECT_NE('/', dir.GetText()[dir.GetLength() - 2]);
    EXPECT_TRUE(QvFile::FileExists(&dir));

    QvPlatformTest::FailTempPathQuery(true);
    QvString again;
    EXPECT_TRUE(QvFile::GetTempDir(&again));
    EXPECT_STREQ(dir.GetText(), again.GetText());
    QvPlatformTest::FailTempPathQuery(false);
    EXPECT_FALSE(QvFile::GetTempDir(nullptr));
}

TEST_F(QvFileTest, TempDirFallsBackToCTemp) {
    // On POSIX "C:\Temp" is a relative path without an existing ancestor, which the tree
    // walk refuses; work inside the test's folder so that no stray "C:" can change that.
    std::string previous = QvTestFs::GetCurrentDir();
    bool posix = !QvTestFs::IsWindows();
    if (posix) {
        ASSERT_TRUE(QvTestFs::SetCurrentDir(temp.GetPath()));
    }
    QvPlatformTest::ResetTempDirCache();
    QvPlatformTest::FailTempPathQuery(true);
    QvString dir;
    EXPECT_TRUE(QvFile::GetTempDir(&dir));
    QvPlatformTest::FailTempPathQuery(false);
    QvPlatformTest::ResetTempDirCache();
    if (posix) {
        EXPECT_FALSE(QvTestFs::Exists(temp.Join("C:")));
        EXPECT_TRUE(QvTestFs::SetCurrentDir(previous));
    }
    EXPECT_STREQ("C:\\Temp\\", dir.GetText());
}

}  // namespace
