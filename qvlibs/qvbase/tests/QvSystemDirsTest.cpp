// Install and data directories and the host identifier: the order of sources, the
// fallback texts and the caches. Every case starts from empty caches, a registry without
// the install directory value and (POSIX) known folders inside the test's own folder.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <string>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "platform/QvPlatformShell.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"
#include "system/QvSystemTestHooks.h"

namespace {

const uint32_t kHklm = QvSystem::kRegistryRootLocalMachine;
const char* const kVelbrookKey = "Software\\Velbrook";

class QvSystemDirs : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvSystemTest::ResetDirectoryCaches();
        QvSystemTest::FailKnownFolderQueries(false);
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.Join("registry")));
        // The real registry is shared: keep what was there and put it back afterwards.
        hadInstallDir = QvSystem::ReadRegistryString("HKLM/Software/Velbrook/installdir", &savedInstallDir);
        QvTestSystem::DeleteRegistryValue(kHklm, kVelbrookKey, "installdir");
        ASSERT_TRUE(QvTestSystem::SetEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles")));
        ASSERT_TRUE(QvTestSystem::SetEnv("QV_COMMON_APPDATA", temp.Join("ProgramData")));
    }
    void TearDown() override {
        if (hadInstallDir)
            QvTestSystem::WriteRegistryString(kHklm, kVelbrookKey, "installdir", savedInstallDir.GetText());
        else
            QvTestSystem::DeleteRegistryValue(kHklm, kVelbrookKey, "installdir");
        QvSystemTest::ResetDirectoryCaches();
        QvSystemTest::FailKnownFolderQueries(false);
    }

    void SetInstallDirValue(const std::string& value) {
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(kHklm, kVelbrookKey, "installdir", value));
    }
    // Registry value naming <temp>\Install, with qvinstall.xml holding the given text.
    void UseInstallDirWithConfig(const std::string& xml) {
        SetInstallDirValue(temp.Join("Install"));
        temp.MakeDir("Install");
        temp.MakeFile("Install\\qvinstall.xml", xml);
    }
    static std::string KnownFolder(QvPlatform::QvKnownFolder folder) {
        QvUtf16String wide;
        QvString utf8;
        EXPECT_TRUE(QvPlatform::QueryKnownFolder(folder, &wide));
        EXPECT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &utf8, nullptr));
        return utf8.GetText();
    }
    static std::string InstallDir() {
        QvString out("sentinel");
        QvSystem::GetInstallDir(&out);
        return out.GetText();
    }
    static std::string DataDir() {
        QvString out("sentinel");
        QvSystem::GetDataDir(&out);
        return out.GetText();
    }
    static std::string Hguid() {
        QvString out("sentinel");
        QvSystem::GetHguid(&out);
        return out.GetText();
    }

    bool hadInstallDir = false;
    QvString savedInstallDir;
};

TEST_F(QvSystemDirs, InstallDirComesFromTheRegistryWithOneTrailingBackslashAndIsCreated) {
    std::string target = temp.Join("Apps\\Velbrook");
    const std::string values[] = {target, target + "\\", target + "/"};
    for (const std::string& value : values) {
        QvSystemTest::ResetDirectoryCaches();
        SetInstallDirValue(value);
        EXPECT_EQ(target + "\\", InstallDir()) << value;
        EXPECT_TRUE(QvTestFs::IsDirectory(target)) << value;
        QvTestFs::RemoveTree(target);
    }
}

TEST_F(QvSystemDirs, ShortOrMissingRegistryValueFallsBackToProgramFiles) {
    std::string expected = KnownFolder(QvPlatform::QvKnownFolder::ProgramFiles) + "\\Velbrook\\";
    EXPECT_EQ(expected, InstallDir());
    EXPECT_TRUE(QvTestFs::IsDirectory(expected.substr(0, expected.size() - 1)));

    QvSystemTest::ResetDirectoryCaches();
    SetInstallDirValue("C:");
    EXPECT_EQ(expected, InstallDir());
}

TEST_F(QvSystemDirs, UnresolvedProgramFilesGivesTheFixedInstallDir) {
    // The fixed text is a relative path on POSIX: let it be created inside the test folder.
    std::string previous = QvTestFs::GetCurrentDir();
    ASSERT_TRUE(QvTestFs::SetCurrentDir(temp.GetPath()));
    QvSystemTest::FailKnownFolderQueries(true);
    std::string installDir = InstallDir();
    QvTestFs::SetCurrentDir(previous);
    EXPECT_EQ("C:\\Program Files\\Velbrook\\", installDir);
}

TEST_F(QvSystemDirs, DataDirComesFromTheInstallerConfigurationAsWritten) {
    struct DataDirCase {
        const char* xml;
        const char* expected;
    } cases[] = {
        {"<qvinstall datadir=\"E:\\VData\\\" />", "E:\\VData\\"},
        {"<qvinstall datadir=\"E:\\VData\" />", "E:\\VData\\"},
        {"<qvinstall datadir=\"E:/VData/\" />", "E:/VData\\"},
        {"<qvinstall\tdatadir=\"\" />", "\\"},
    };
    for (const DataDirCase& c : cases) {
        QvSystemTest::ResetDirectoryCaches();
        UseInstallDirWithConfig(c.xml);
        EXPECT_EQ(c.expected, DataDir()) << c.xml;
    }
    EXPECT_FALSE(QvTestFs::Exists("E:\\VData"));
}

TEST_F(QvSystemDirs, DataDirWithoutReadableSettingFallsBackToCommonAppData) {
    std::string expected = KnownFolder(QvPlatform::QvKnownFolder::CommonAppData) + "\\Velbrook\\qvdata\\";
    // No configuration file at all.
    SetInstallDirValue(temp.Join("Install"));
    EXPECT_EQ(expected, DataDir());
    // A configuration file without the attribute.
    QvSystemTest::ResetDirectoryCaches();
    UseInstallDirWithConfig("<qvinstall hguid=\"0123456789abcdef01234567\" />");
    EXPECT_EQ(expected, DataDir());
    // The data directory is never created here.
    EXPECT_FALSE(QvTestFs::Exists(expected.substr(0, expected.size() - 1)));

    QvSystemTest::ResetDirectoryCaches();
    QvSystemTest::FailKnownFolderQueries(true);
    EXPECT_EQ("C:\\ProgramData\\Velbrook\\", DataDir());
}

TEST_F(QvSystemDirs, HguidIsLowerCasedAndMustBeTwentyFourBytes) {
    const std::string nines(24, '9');
    struct HguidCase {
        const char* xml;  // null: no configuration file
        std::string expected;
    } cases[] = {
        {"<qvinstall hguid=\"ABCDEFGHIJKLMNOPQRSTUVWX\" />", "abcdefghijklmnopqrstuvwx"},
        {"<qvinstall hguid=\"0123-ABCD_ef\xC3\x89GH12345678\" />", "0123-abcd_ef\xC3\x89gh12345678"},
        {"<qvinstall hguid=\"ABCDEFGHIJKLMNOPQRSTUVW\" />", nines},
        {"<qvinstall hguid=\"ABCDEFGHIJKLMNOPQRSTUVWXY\" />", nines},
        {"<qvinstall hguid=\"\" />", nines},
        {"<qvinstall datadir=\"D:\\\" />", nines},
        {nullptr, nines},
    };
    for (const HguidCase& c : cases) {
        QvSystemTest::ResetDirectoryCaches();
        if (c.xml) {
            UseInstallDirWithConfig(c.xml);
        } else {
            QvTestFs::RemoveTree(temp.Join("Install"));
            SetInstallDirValue(temp.Join("Install"));
        }
        EXPECT_EQ(c.expected, Hguid()) << (c.xml ? c.xml : "no file");
    }
}

TEST_F(QvSystemDirs, FirstAnswersStayCachedWhenTheSourcesChange) {
    UseInstallDirWithConfig("<qvinstall datadir=\"E:\\First\" hguid=\"AAAAAAAAAAAAAAAAAAAAAAAA\" />");
    std::string installDir = InstallDir();
    std::string dataDir = DataDir();
    std::string hguid = Hguid();
    EXPECT_EQ(temp.Join("Install") + "\\", installDir);
    EXPECT_EQ("E:\\First\\", dataDir);
    EXPECT_EQ(std::string(24, 'a'), hguid);

    SetInstallDirValue(temp.Join("Elsewhere"));
    temp.MakeFile("Install\\qvinstall.xml", "<qvinstall datadir=\"E:\\Second\" hguid=\"BBBBBBBBBBBBBBBBBBBBBBBB\" />");
    EXPECT_EQ(installDir, InstallDir());
    EXPECT_EQ(dataDir, DataDir());
    EXPECT_EQ(hguid, Hguid());
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("Elsewhere")));
}

}  // namespace
