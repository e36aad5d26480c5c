// The system services: install and data directories and the host identifier (sources, fallbacks,
// caches), registry paths and string values, and locale codes.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
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

using namespace QvSystem;

std::string Get(void (*getter)(QvString*)) {
    QvString out("sentinel");
    getter(&out);
    return out.GetText();
}

std::string KnownFolder(QvPlatform::QvKnownFolder folder) {
    QvUtf16String wide;
    QvString utf8;
    EXPECT_TRUE(QvPlatform::QueryKnownFolder(folder, &wide) &&
                QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &utf8, nullptr));
    return utf8.GetText();
}

class QvSystemDirs : public QvTestInstallation {
protected:
    // The registry value ("": none) and the install directory's qvinstall.xml (null: none), caches emptied.
    void Use(const std::string& value, const char* xml) {
        if (value.empty())
            QvTestSystem::DeleteRegistryValue(kRegistryRootLocalMachine, "Software\\Velbrook", "installdir");
        else
            ASSERT_TRUE(WriteInstallDirValue(value));
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
    for (const auto& c : {std::make_pair(apps, apps), {apps + "\\", apps}, {apps + "/", apps}, {"", fallback},
                          {"C:", fallback}}) {
        SCOPED_TRACE(c.first);
        Use(c.first, nullptr);
        EXPECT_EQ(c.second + "\\", Get(GetInstallDir));
        EXPECT_TRUE(QvTestFs::IsDirectory(c.second));
        if (c.second == apps)  // the fallback is the machine's own folder on Windows
            QvTestFs::RemoveTree(apps);
    }
    // Unresolved known folders give fixed texts (a relative path on POSIX: made in the test folder).
    std::string previous = QvTestFs::GetCurrentDir();
    ASSERT_TRUE(QvTestFs::SetCurrentDir(temp.GetPath()));
    Use("", nullptr);
    QvPlatformTest::FailKnownFolderQueries(true);
    std::string fixedInstallDir = Get(GetInstallDir);
    QvTestFs::SetCurrentDir(previous);
    EXPECT_EQ("C:\\Program Files\\Velbrook\\", fixedInstallDir);
    Use(installDir, nullptr);
    EXPECT_EQ("C:\\ProgramData\\Velbrook\\", Get(GetDataDir));
}

TEST_F(QvSystemDirs, DataDirAndHguidComeFromTheInstallerConfigurationAndTheFirstAnswersStay) {
    const std::string fallback = KnownFolder(QvPlatform::QvKnownFolder::CommonAppData) + "\\Velbrook\\qvdata\\";
    const std::string nines(24, '9');
    // The hguid is lower-cased (ASCII only) and must be 24 bytes. A null xml: no file.
    const struct { const char* xml; std::string dataDir, hguid; } cases[] = {
        {"<qvinstall datadir=\"E:\\VData\" hguid=\"0123-ABCD_ef\xC3\x89GH12345678\" />", "E:\\VData\\",
         "0123-abcd_ef\xC3\x89gh12345678"},
        {"<qvinstall datadir=\"E:/VData/\" hguid=\"ABCDEFGHIJKLMNOPQRSTUVW\" />", "E:/VData\\", nines},
        {"<qvinstall\tdatadir=\"\" hguid=\"ABCDEFGHIJKLMNOPQRSTUVWXY\" />", "\\", nines},
        {"<qvinstall hguid=\"0123456789abcdef01234567\" />", fallback, "0123456789abcdef01234567"},
        {"<qvinstall datadir=\"D:\\\" />", "D:\\", nines},
        {nullptr, fallback, nines},
    };
    for (const auto& c : cases) {
        Use(installDir, c.xml);
        EXPECT_EQ(c.dataDir + " " + c.hguid, Get(GetDataDir) + " " + Get(GetHguid)) << (c.xml ? c.xml : "no file");
    }
    // Later sources change nothing.
    EXPECT_EQ(installDir + "\\", Get(GetInstallDir));
    ASSERT_TRUE(WriteInstallDirValue(temp.Join("Elsewhere")));
    temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"E:\\Second\" hguid=\"BBBBBBBBBBBBBBBBBBBBBBBB\" />");
    EXPECT_EQ(installDir + "\\ " + fallback + " " + nines,
              Get(GetInstallDir) + " " + Get(GetDataDir) + " " + Get(GetHguid));
    // No directory is created on the way.
    for (const std::string& path : {std::string("E:\\VData"), fallback.substr(0, fallback.size() - 1),
                                    temp.Join("Elsewhere")})
        EXPECT_FALSE(QvTestFs::Exists(path)) << path;
}

TEST(QvSystemRegistry, SplitsRootKeyPathAndValueNameWithinTheirFieldsAndMapsExactRootNames) {
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
        QvRegistryPathParts parts;
        memset(&parts, 0xbd, sizeof(parts));
        EXPECT_EQ(c.ok, SplitRegistryPath(c.path.c_str(), &parts)) << c.path.size() << ": " << c.path;
        EXPECT_EQ(c.rootName + "|" + c.keyPath + "|" + c.valueName,
                  std::string(parts.rootName) + "|" + parts.keyPath + "|" + parts.valueName);
    }
    EXPECT_FALSE(SplitRegistryPath(nullptr, nullptr));
    // The root key: exact names only.
    const struct { const char* path; QvRegistryRoot key; } roots[] = {
        {"HKCR/k/v", kRegistryRootClassesRoot}, {"HKEY_CLASSES_ROOT/k/v", kRegistryRootClassesRoot},
        {"HKCU/k/v", kRegistryRootCurrentUser}, {"HKEY_CURRENT_USER/k/v", kRegistryRootCurrentUser},
        {"HKLM", kRegistryRootLocalMachine}, {"HKEY_LOCAL_MACHINE\\k\\v", kRegistryRootLocalMachine},
        {"HKU/k/v", kRegistryRootUsers}, {"HKEY_USERS/k/v", kRegistryRootUsers},
        {"HKCC/k/v", kRegistryRootCurrentConfig}, {"HKEY_CURRENT_CONFIG/k/v", kRegistryRootCurrentConfig},
        {"HKDD/k/v", kRegistryRootDynData}, {"HKEY_DYN_DATA/k/v", kRegistryRootDynData},
        {"hklm/k/v", kRegistryRootNone}, {"HKLMX/k/v", kRegistryRootNone}, {"/HKLM/k/v", kRegistryRootNone},
        {"", kRegistryRootNone}, {nullptr, kRegistryRootNone}};
    for (const auto& c : roots)
        EXPECT_EQ(c.key, ParseRegistryRootKey(c.path)) << (c.path ? c.path : "(null)");
}

// Windows shares one registry between test programs: the test writes below its own key.
TEST_F(QvTestInstallation, RegistryReadTakesOnlyNonEmptyStringValuesThatFit) {
    const std::string key = "Software\\VelbrookTest\\Read-" + std::to_string(QvPlatform::GetCurrentProcessId());
    const std::string longKey = std::string(200, 'a') + "\\" + std::string(200, 'b'), longName(200, 'v');
    const std::string text = "C:\\Donn\xC3\xA9" "es \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    auto write = [&](const std::string& subKey, const std::string& name, const std::string& value) {
        return QvTestSystem::WriteRegistryString(kRegistryRootLocalMachine, key + "\\" + subKey, name, value);
    };
    ASSERT_TRUE(QvTestSystem::DeleteRegistryTree(kRegistryRootLocalMachine, key));
    // 4999 UTF-16 units and the terminator are exactly 10000 bytes.
    ASSERT_TRUE(write("Velbrook", "installdir", "D:\\Apps\\Velbrook") && write("Key", "", "default text") &&
                write("Key", "empty", "") && write("Key", "one", "1") && write("Key", "fits", std::string(4999, 'x')) &&
                write("Key", "toolong", std::string(5000, 'x')) && write(longKey, longName, text) &&
                QvTestSystem::WriteRegistryNumber(kRegistryRootLocalMachine, key + "\\Key", "number", 1234));
    std::string slashed = key;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::string base = "HKLM/" + slashed + "/";
    // An empty expected text: the read fails.
    const struct { std::string path, expected; } cases[] = {
        {base + "Velbrook/installdir", "D:\\Apps\\Velbrook"},
        {base + "Key/", "default text"}, {base + longKey + "/" + longName, text},
        {base + "Key/fits", std::string(4999, 'x')}, {base + "Key/one", "1"}, {base + "Key/toolong", ""},
        {base + "Key/empty", ""}, {base + "Key/number", ""}, {base + "Key/absent", ""},
        {base + "NoSuchKey/name", ""}, {"HKLM/name", ""}};
    for (const auto& c : cases) {
        QvString out("sentinel");
        EXPECT_EQ(!c.expected.empty(), ReadRegistryString(c.path.c_str(), &out)) << c.path;
        EXPECT_EQ(c.expected, out.GetText()) << c.path;
    }
    QvString out("sentinel");
    EXPECT_FALSE(ReadRegistryString(nullptr, &out));
    EXPECT_EQ(0, out.GetLength());
    EXPECT_FALSE(ReadRegistryString((base + "Key/fits").c_str(), nullptr));
    QvTestSystem::DeleteRegistryTree(kRegistryRootLocalMachine, key);
}

using QvSystemLocale = QvTestInstallation;  // no override; the interface language is faked

TEST_F(QvSystemLocale, InterfaceLanguageSelectsItsCodeOnlyByTheWholeIdUntilAnExactCodeOverridesIt) {
    // Other regions of the same languages are not in the table. Asked on every call, without a reset.
    const struct { uint16_t languageId; const char* code; } cases[] = {
        {0x0409, "en_US"}, {0x0411, "ja_JP"}, {0x0C04, "zh_TW"}, {0x0804, "zh_CN"}, {0x0412, "ko_KR"},
        {0x040C, "fr_FR"}, {0x0407, "de_DE"}, {0x0C0A, "es_ES"}, {0x0410, "it_IT"}, {0x0419, "ru_RU"},
        {0x0416, "pt_BR"}, {0x0404, "en_US"}, {0xFFFF, "en_US"}};
    for (const auto& c : cases) {
        QvPlatformTest::SetFakeUiLanguage(c.languageId);
        EXPECT_STREQ(c.code, GetLocaleCode()) << std::hex << c.languageId;
    }
    EXPECT_TRUE(SetLocaleCode("de_DE"));
    QvPlatformTest::SetFakeUiLanguage(0x040C);
    for (const char* code : {"de_de", "de-DE", "default", "", "de_DE ", "xx_XX", (const char*)nullptr}) {
        EXPECT_FALSE(SetLocaleCode(code)) << (code ? code : "(null)");
        EXPECT_STREQ("de_DE", GetLocaleCode()) << (code ? code : "(null)");
    }
    EXPECT_TRUE(SetLocaleCode("fr_FR"));
    EXPECT_STREQ("fr_FR", GetLocaleCode());
}

}  // namespace
