// Install and data directories and the host identifier: the order of sources, the fallback
// texts and the caches; (POSIX) the known folders lie inside the test's own folder.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <string>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "system/QvPlatformShell.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"
#include "QvTestHooks.h"
#include "QvTestPlatform.h"

namespace {

const uint32_t kHklm = QvSystem::kRegistryRootLocalMachine;
const char* const kVelbrookKey = "Software\\Velbrook";

std::string Get(void (*getter)(QvString*)) {
    QvString out("sentinel");
    getter(&out);
    return out.GetText();
}

class QvSystemDirs : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.Join("registry")));
        // The real registry is shared: keep what was there and put it back afterwards.
        hadInstallDir = QvSystem::ReadRegistryString("HKLM/Software/Velbrook/installdir", &savedInstallDir);
        QvTestSystem::DeleteRegistryValue(kHklm, kVelbrookKey, "installdir");
        ASSERT_TRUE(QvTestSystem::SetEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles")));
        ASSERT_TRUE(QvTestSystem::SetEnv("QV_COMMON_APPDATA", temp.Join("ProgramData")));
        Reset(false);
    }
    void TearDown() override {
        if (hadInstallDir)
            QvTestSystem::WriteRegistryString(kHklm, kVelbrookKey, "installdir", savedInstallDir.GetText());
        else
            QvTestSystem::DeleteRegistryValue(kHklm, kVelbrookKey, "installdir");
        Reset(false);
    }
    static void Reset(bool failKnownFolders) {
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::FailKnownFolderQueries(failKnownFolders);
    }
    void SetInstallDirValue(const std::string& value) {
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(kHklm, kVelbrookKey, "installdir", value));
    }
    // Registry value naming <temp>\Install, with qvinstall.xml holding xml (none for null).
    void UseInstallDir(const char* xml) {
        QvTestFs::RemoveTree(temp.Join("Install"));
        SetInstallDirValue(temp.Join("Install"));
        temp.MakeDir("Install");
        if (xml)
            temp.MakeFile("Install\\qvinstall.xml", xml);
    }
    static std::string KnownFolder(QvPlatform::QvKnownFolder folder) {
        QvUtf16String wide;
        QvString utf8;
        EXPECT_TRUE(QvPlatform::QueryKnownFolder(folder, &wide));
        EXPECT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &utf8, nullptr));
        return utf8.GetText();
    }

    bool hadInstallDir = false;
    QvString savedInstallDir;
};

TEST_F(QvSystemDirs, InstallDirComesFromTheRegistryWithOneTrailingBackslashAndIsCreated) {
    std::string target = temp.Join("Apps\\Velbrook");
    for (const std::string& value : {target, target + "\\", target + "/"}) {
        Reset(false);
        SetInstallDirValue(value);
        EXPECT_EQ(target + "\\", Get(QvSystem::GetInstallDir)) << value;
        EXPECT_TRUE(QvTestFs::IsDirectory(target)) << value;
        QvTestFs::RemoveTree(target);
    }
}

TEST_F(QvSystemDirs, ShortOrMissingRegistryValueFallsBackToProgramFiles) {
    std::string expected = KnownFolder(QvPlatform::QvKnownFolder::ProgramFiles) + "\\Velbrook\\";
    EXPECT_EQ(expected, Get(QvSystem::GetInstallDir));
    EXPECT_TRUE(QvTestFs::IsDirectory(expected.substr(0, expected.size() - 1)));
    Reset(false);
    SetInstallDirValue("C:");
    EXPECT_EQ(expected, Get(QvSystem::GetInstallDir));
}

TEST_F(QvSystemDirs, UnresolvedKnownFoldersGiveTheFixedDirectories) {
    // The fixed text is a relative path on POSIX: let it be created inside the test folder.
    std::string previous = QvTestFs::GetCurrentDir();
    ASSERT_TRUE(QvTestFs::SetCurrentDir(temp.GetPath()));
    Reset(true);
    std::string installDir = Get(QvSystem::GetInstallDir);
    QvTestFs::SetCurrentDir(previous);
    EXPECT_EQ("C:\\Program Files\\Velbrook\\", installDir);
    Reset(true);
    UseInstallDir(nullptr);
    EXPECT_EQ("C:\\ProgramData\\Velbrook\\", Get(QvSystem::GetDataDir));
}

TEST_F(QvSystemDirs, DataDirComesFromTheInstallerConfigurationOrCommonAppData) {
    const std::string fallback = KnownFolder(QvPlatform::QvKnownFolder::CommonAppData) + "\\Velbrook\\qvdata\\";
    // A null xml: no configuration file.
    const struct { const char* xml; std::string expected; } cases[] = {
        {"<qvinstall datadir=\"E:\\VData\\\" />", "E:\\VData\\"},
        {"<qvinstall datadir=\"E:\\VData\" />", "E:\\VData\\"},
        {"<qvinstall datadir=\"E:/VData/\" />", "E:/VData\\"},
        {"<qvinstall\tdatadir=\"\" />", "\\"},
        {"<qvinstall hguid=\"0123456789abcdef01234567\" />", fallback},
        {nullptr, fallback},
    };
    for (const auto& c : cases) {
        Reset(false);
        UseInstallDir(c.xml);
        EXPECT_EQ(c.expected, Get(QvSystem::GetDataDir)) << (c.xml ? c.xml : "no file");
    }
    // The data directory is never created here.
    EXPECT_FALSE(QvTestFs::Exists("E:\\VData"));
    EXPECT_FALSE(QvTestFs::Exists(fallback.substr(0, fallback.size() - 1)));
}

TEST_F(QvSystemDirs, HguidIsLowerCasedAndMustBeTwentyFourBytes) {
    const std::string nines(24, '9');
    // A null xml: no configuration file.
    const struct { const char* xml; std::string expected; } cases[] = {
        {"<qvinstall hguid=\"ABCDEFGHIJKLMNOPQRSTUVWX\" />", "abcdefghijklmnopqrstuvwx"},
        {"<qvinstall hguid=\"0123-ABCD_ef\xC3\x89GH12345678\" />", "0123-abcd_ef\xC3\x89gh12345678"},
        {"<qvinstall hguid=\"ABCDEFGHIJKLMNOPQRSTUVW\" />", nines},
        {"<qvinstall hguid=\"ABCDEFGHIJKLMNOPQRSTUVWXY\" />", nines},
        {"<qvinstall datadir=\"D:\\\" />", nines},
        {nullptr, nines},
    };
    for (const auto& c : cases) {
        Reset(false);
        UseInstallDir(c.xml);
        EXPECT_EQ(c.expected, Get(QvSystem::GetHguid)) << (c.xml ? c.xml : "no file");
    }
}

TEST_F(QvSystemDirs, FirstAnswersStayCachedWhenTheSourcesChange) {
    UseInstallDir("<qvinstall datadir=\"E:\\First\" hguid=\"AAAAAAAAAAAAAAAAAAAAAAAA\" />");
    const std::string expected[] = {temp.Join("Install") + "\\", "E:\\First\\", std::string(24, 'a')};
    void (*const getters[])(QvString*) = {QvSystem::GetInstallDir, QvSystem::GetDataDir, QvSystem::GetHguid};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(expected[i], Get(getters[i])) << "round " << round << ", answer " << i;
        SetInstallDirValue(temp.Join("Elsewhere"));
        temp.MakeFile("Install\\qvinstall.xml", "<qvinstall datadir=\"E:\\Second\" hguid=\"BBBBBBBBBBBBBBBBBBBBBBBB\" />");
    }
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("Elsewhere")));
}

}  // namespace
