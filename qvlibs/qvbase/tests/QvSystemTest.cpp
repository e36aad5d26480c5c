// The system services: install and data directories and the host identifier (sources, fallbacks,
// caches), registry paths and string values, and locale codes.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "QvTestInstallation.h"
#include "QvTestSystem.h"
#include "platform/QvPlatformClock.h"
#include "system/QvPlatformShell.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"
#include "QvTestHooks.h"
#include "QvTestPlatform.h"

namespace {

std::string Get(void (*getter)(QvString*)) {
    QvString out("sentinel");
    getter(&out);
    return out.GetText();
}

std::string KnownFolder(QvPlatform::QvKnownFolder folder) {
    QvUtf16String wide;
    QvString utf8;
    EXPECT_TRUE(QvPlatform::QueryKnownFolder(folder, &wide));
    EXPECT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &utf8, nullptr));
    return utf8.GetText();
}

bool SetInstallDirValue(const std::string& value) {
    return QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook", "installdir",
                                             value);
}

class QvSystemDirs : public QvTestInstallation {
protected:
    // The registry value ("": none) and the install directory's qvinstall.xml (null: none).
    void Use(const std::string& value, const char* xml) {
        if (value.empty())
            QvTestSystem::DeleteRegistryValue(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook", "installdir");
        else
            ASSERT_TRUE(SetInstallDirValue(value));
        QvTestFs::RemoveTree(installDir + "\\qvinstall.xml");
        if (xml)
            temp.MakeFile("install\\qvinstall.xml", xml);
        QvSystemTest::ResetDirectoryCaches();
    }
};

TEST_F(QvSystemDirs, InstallDirComesFromTheRegistryElseProgramFilesAndIsCreated) {
    const std::string apps = temp.Join("Apps\\Velbrook");
    const std::string fallback = KnownFolder(QvPlatform::QvKnownFolder::ProgramFiles) + "\\Velbrook";
    // A value shorter than three bytes counts as none.
    const struct { std::string value, expected; } cases[] = {
        {apps, apps}, {apps + "\\", apps}, {apps + "/", apps}, {"", fallback}, {"C:", fallback}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Use(c.value, nullptr);
        EXPECT_EQ(c.expected + "\\", Get(QvSystem::GetInstallDir));
        EXPECT_TRUE(QvTestFs::IsDirectory(c.expected));
        if (c.expected == apps)  // the fallback is the machine's own folder on Windows
            QvTestFs::RemoveTree(apps);
    }
    // Unresolved known folders give fixed texts (a relative path on POSIX: made in the test folder).
    std::string previous = QvTestFs::GetCurrentDir();
    ASSERT_TRUE(QvTestFs::SetCurrentDir(temp.GetPath()));
    Use("", nullptr);
    QvPlatformTest::FailKnownFolderQueries(true);
    std::string fixedInstallDir = Get(QvSystem::GetInstallDir);
    QvTestFs::SetCurrentDir(previous);
    EXPECT_EQ("C:\\Program Files\\Velbrook\\", fixedInstallDir);
    Use(installDir, nullptr);
    EXPECT_EQ("C:\\ProgramData\\Velbrook\\", Get(QvSystem::GetDataDir));
}

TEST_F(QvSystemDirs, DataDirAndHguidComeFromTheInstallerConfiguration) {
    const std::string fallback = KnownFolder(QvPlatform::QvKnownFolder::CommonAppData) + "\\Velbrook\\qvdata\\";
    const std::string nines(24, '9');
    // The hguid is lower-cased (ASCII only) and must be 24 bytes. A null xml: no file.
    const struct { const char* xml; std::string dataDir, hguid; } cases[] = {
        {"<qvinstall datadir=\"E:\\VData\\\" hguid=\"ABCDEFGHIJKLMNOPQRSTUVWX\" />", "E:\\VData\\",
         "abcdefghijklmnopqrstuvwx"},
        {"<qvinstall datadir=\"E:\\VData\" hguid=\"0123-ABCD_ef\xC3\x89GH12345678\" />", "E:\\VData\\",
         "0123-abcd_ef\xC3\x89gh12345678"},
        {"<qvinstall datadir=\"E:/VData/\" hguid=\"ABCDEFGHIJKLMNOPQRSTUVW\" />", "E:/VData\\", nines},
        {"<qvinstall\tdatadir=\"\" hguid=\"ABCDEFGHIJKLMNOPQRSTUVWXY\" />", "\\", nines},
        {"<qvinstall hguid=\"0123456789abcdef01234567\" />", fallback, "0123456789abcdef01234567"},
        {"<qvinstall datadir=\"D:\\\" />", "D:\\", nines},
        {nullptr, fallback, nines},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml ? c.xml : "no file");
        Use(installDir, c.xml);
        EXPECT_EQ(c.dataDir, Get(QvSystem::GetDataDir));
        EXPECT_EQ(c.hguid, Get(QvSystem::GetHguid));
    }
    // The data directory is never created here.
    EXPECT_FALSE(QvTestFs::Exists("E:\\VData"));
    EXPECT_FALSE(QvTestFs::Exists(fallback.substr(0, fallback.size() - 1)));
}

TEST_F(QvSystemDirs, FirstAnswersStayCachedWhenTheSourcesChange) {
    Use(installDir, "<qvinstall datadir=\"E:\\First\" hguid=\"AAAAAAAAAAAAAAAAAAAAAAAA\" />");
    const std::string expected[] = {installDir + "\\", "E:\\First\\", std::string(24, 'a')};
    void (*const getters[])(QvString*) = {QvSystem::GetInstallDir, QvSystem::GetDataDir, QvSystem::GetHguid};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(expected[i], Get(getters[i])) << "round " << round << ", answer " << i;
        ASSERT_TRUE(SetInstallDirValue(temp.Join("Elsewhere")));
        temp.MakeFile("install\\qvinstall.xml",
                      "<qvinstall datadir=\"E:\\Second\" hguid=\"" + std::string(24, 'B') + "\" />");
    }
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("Elsewhere")));
}

TEST(QvSystemRegistry, SplitsRootKeyPathAndValueNameWithinTheirFields) {
    const std::string r997(997, 'R'), n999(999, 'n'), n1000(1000, 'n');
    const struct { std::string path; bool ok; std::string rootName, keyPath, valueName; } cases[] = {
        {"HKLM/Software/Velbrook/installdir", true, "HKLM", "Software/Velbrook", "installdir"},
        {"HKLM\\Software/Velbrook\\installdir", true, "HKLM", "Software/Velbrook", "installdir"},
        {"HKEY_CURRENT_USER/Software/Velbrook/", true, "HKEY_CURRENT_USER", "Software/Velbrook", ""},
        {"HKLM//name", true, "HKLM", "", "name"}, {"HKLM/name", false, "HKLM", "", ""}, {"", false, "", "", ""},
        {"/HKLM/Key/name", true, "/HKLM", "Key", "name"},  // a leading separator belongs to the root
        // The root name may be 997 bytes long; the key path and value name up to 999.
        {r997 + "/k/v", true, r997, "k", "v"}, {r997 + "R/k/v", false, "", "", ""},
        {"HKLM/" + n999 + "/v", true, "HKLM", n999, "v"}, {"HKLM/" + n1000 + "/v", false, "HKLM", "", ""},
        {"HKLM/k/" + n999, true, "HKLM", "k", n999}, {"HKLM/k/" + n1000, false, "HKLM", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.path.size()) + ": " + c.path);
        QvSystem::QvRegistryPathParts parts;
        memset(&parts, 0xbd, sizeof(parts));
        EXPECT_EQ(c.ok, QvSystem::SplitRegistryPath(c.path.c_str(), &parts));
        EXPECT_EQ(c.rootName, parts.rootName);
        EXPECT_EQ(c.keyPath, parts.keyPath);
        EXPECT_EQ(c.valueName, parts.valueName);
    }
    EXPECT_FALSE(QvSystem::SplitRegistryPath(nullptr, nullptr));
}

TEST(QvSystemRegistry, MapsExactRootNamesToPredefinedKeys) {
    using namespace QvSystem;
    const struct { const char* path; QvRegistryRoot key; } cases[] = {
        {"HKCR/k/v", kRegistryRootClassesRoot}, {"HKEY_CLASSES_ROOT/k/v", kRegistryRootClassesRoot},
        {"HKCU/k/v", kRegistryRootCurrentUser}, {"HKEY_CURRENT_USER/k/v", kRegistryRootCurrentUser},
        {"HKLM", kRegistryRootLocalMachine}, {"HKEY_LOCAL_MACHINE\\k\\v", kRegistryRootLocalMachine},
        {"HKU/k/v", kRegistryRootUsers}, {"HKEY_USERS/k/v", kRegistryRootUsers},
        {"HKCC/k/v", kRegistryRootCurrentConfig}, {"HKEY_CURRENT_CONFIG/k/v", kRegistryRootCurrentConfig},
        {"HKDD/k/v", kRegistryRootDynData}, {"HKEY_DYN_DATA/k/v", kRegistryRootDynData},
        {"hklm/k/v", kRegistryRootNone}, {"HKLMX/k/v", kRegistryRootNone}, {"/HKLM/k/v", kRegistryRootNone},
        {"", kRegistryRootNone}, {nullptr, kRegistryRootNone}};
    for (const auto& c : cases)
        EXPECT_EQ(c.key, ParseRegistryRootKey(c.path)) << (c.path ? c.path : "(null)");
}

// Windows shares one registry between test programs: the test writes below its own key.
class QvSystemRegistryRead : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.Join("registry")));
        ASSERT_TRUE(QvTestSystem::DeleteRegistryTree(kRoot, baseKey));
    }
    void TearDown() override { QvTestSystem::DeleteRegistryTree(kRoot, baseKey); }
    bool Write(const std::string& subKey, const std::string& name, const std::string& value) {
        return QvTestSystem::WriteRegistryString(kRoot, baseKey + "\\" + subKey, name, value);
    }
    static const uint32_t kRoot = QvSystem::kRegistryRootLocalMachine;
    const std::string baseKey = "Software\\VelbrookTest\\Read-" + std::to_string(QvPlatform::GetCurrentProcessId());
};

TEST_F(QvSystemRegistryRead, ReadsOnlyNonEmptyStringValuesThatFit) {
    const std::string longKey = std::string(200, 'a') + "\\" + std::string(200, 'b'), longName(200, 'v');
    const std::string text = "C:\\Donn\xC3\xA9" "es \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    ASSERT_TRUE(Write("Velbrook", "installdir", "D:\\Apps\\Velbrook"));
    ASSERT_TRUE(Write("Key", "", "default text"));
    ASSERT_TRUE(Write("Key", "empty", ""));
    // 4999 UTF-16 units and the terminator are exactly 10000 bytes.
    ASSERT_TRUE(Write("Key", "fits", std::string(4999, 'x')));
    ASSERT_TRUE(Write("Key", "toolong", std::string(5000, 'x')));
    ASSERT_TRUE(Write(longKey, longName, text));
    ASSERT_TRUE(QvTestSystem::WriteRegistryNumber(kRoot, baseKey + "\\Key", "number", 1234));
    std::string slashed = baseKey;
    for (char& c : slashed)
        c = c == '\\' ? '/' : c;
    const std::string base = "HKLM/" + slashed + "/";
    // An empty expected text: the read fails.
    const struct { std::string path, expected; } cases[] = {
        {base + "Velbrook/installdir", "D:\\Apps\\Velbrook"},
        {"HKLM\\" + baseKey + "\\Velbrook\\installdir", "D:\\Apps\\Velbrook"},
        {"HKLM/" + baseKey + "/Velbrook\\installdir", "D:\\Apps\\Velbrook"},
        {"HKEY_LOCAL_MACHINE/" + slashed + "/Velbrook/installdir", "D:\\Apps\\Velbrook"},
        {"hklm/" + slashed + "/Velbrook/installdir", ""},
        {base + "Key/", "default text"}, {base + longKey + "/" + longName, text},
        {base + "Key/fits", std::string(4999, 'x')}, {base + "Key/toolong", ""}, {base + "Key/empty", ""},
        {base + "Key/number", ""}, {base + "Key/absent", ""}, {base + "NoSuchKey/name", ""}, {"HKLM/name", ""},
        {"", ""}};
    for (const auto& c : cases) {
        QvString out("sentinel");
        EXPECT_EQ(!c.expected.empty(), QvSystem::ReadRegistryString(c.path.c_str(), &out)) << c.path;
        EXPECT_EQ(c.expected, out.GetText()) << c.path;
    }
    QvString out("sentinel");
    EXPECT_FALSE(QvSystem::ReadRegistryString(nullptr, &out));
    EXPECT_EQ(0, out.GetLength());
    EXPECT_FALSE(QvSystem::ReadRegistryString((base + "Key/fits").c_str(), nullptr));
}

using QvSystemLocale = QvTestInstallation;  // no override; the interface language is faked

TEST_F(QvSystemLocale, InterfaceLanguageSelectsItsCodeOnlyByTheWholeIdUntilAnExactCodeOverridesIt) {
    // Other regions of the same languages are not in the table.
    const struct { uint16_t languageId; const char* code; } cases[] = {
        {0x0409, "en_US"}, {0x0411, "ja_JP"}, {0x0C04, "zh_TW"}, {0x0804, "zh_CN"}, {0x0412, "ko_KR"},
        {0x040C, "fr_FR"}, {0x0407, "de_DE"}, {0x0C0A, "es_ES"}, {0x0410, "it_IT"}, {0x0419, "ru_RU"},
        {0x0416, "pt_BR"}, {0x0404, "en_US"}, {0x080C, "en_US"}, {0x0807, "en_US"}, {0xFFFF, "en_US"}};
    // Asked on every call: each case changes the language without a reset.
    for (const auto& c : cases) {
        QvPlatformTest::SetFakeUiLanguage(c.languageId);
        EXPECT_STREQ(c.code, QvSystem::GetLocaleCode()) << std::hex << c.languageId;
    }
    EXPECT_TRUE(QvSystem::SetLocaleCode("de_DE"));
    EXPECT_STREQ("de_DE", QvSystem::GetLocaleCode());
    QvPlatformTest::SetFakeUiLanguage(0x040C);
    for (const char* code : {"de_de", "de-DE", "default", "", "de_DE ", "xx_XX", (const char*)nullptr}) {
        EXPECT_FALSE(QvSystem::SetLocaleCode(code)) << (code ? code : "(null)");
        EXPECT_STREQ("de_DE", QvSystem::GetLocaleCode()) << (code ? code : "(null)");
    }
    EXPECT_TRUE(QvSystem::SetLocaleCode("fr_FR"));
    EXPECT_STREQ("fr_FR", QvSystem::GetLocaleCode());
}

TEST_F(QvSystemLocale, PosixLanguageIdFollowsTheFirstSetLocaleVariable) {
    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "windows: the display language is a session setting, not the environment";
    const char* const names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool wasSet[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = QvTestSystem::GetEnv(names[i], &wasSet[i]);
    auto put = [&](int i, const char* value) {
        value ? QvTestSystem::SetEnv(names[i], value) : QvTestSystem::UnsetEnv(names[i]);
    };
    // The values of LC_ALL, LC_MESSAGES and LANG; null: unset.
    const struct { const char* values[3]; uint16_t languageId; } cases[] = {
        {{"fr_FR.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8"}, 0x040C}, {{"", "ja_JP.UTF-8", "de_DE.UTF-8"}, 0x0411},
        {{nullptr, nullptr, "de_CH.UTF-8"}, 0x0807}, {{nullptr, nullptr, "zh_TW.UTF-8"}, 0x0404},
        {{nullptr, nullptr, "zh_HK.UTF-8"}, 0x0C04}, {{nullptr, nullptr, "es_ES@euro"}, 0x0C0A},
        {{nullptr, nullptr, "ko"}, 0x0412}, {{nullptr, nullptr, "C.UTF-8"}, 0x0409},
        {{nullptr, nullptr, "xx_YY.UTF-8"}, 0x0409}, {{nullptr, nullptr, nullptr}, 0x0409},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            put(i, c.values[i]);
        EXPECT_EQ(c.languageId, QvPlatform::NativeGetUserDefaultUiLanguage()) << "case " << &c - cases;
    }
    QvPlatformTest::SetFakeUiLanguage(0);
    put(0, "ja_JP.UTF-8");
    EXPECT_STREQ("ja_JP", QvSystem::GetLocaleCode());
    for (int i = 0; i < 3; ++i)
        put(i, wasSet[i] ? saved[i].c_str() : nullptr);
}

}  // namespace
