// The interface texts: which language is configured, which element a text comes from,
// what is cached and what is looked up afresh, and the log lines of every miss. Each case
// builds an installation (install and data directories found through the registry) in a
// fresh temporary folder and reads the day's log file with the clock standing still.
#include "qvbase/QvUiUtil.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "config/QvInfoManagerTestHooks.h"
#include "config/QvUiUtilTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "system/QvSystemTestHooks.h"

namespace {

// 2024-03-15 10:00:00 UTC: the log lines go to the file of day 15.
const uint64_t kNowMillis = 1710496800000ULL;
const uint64_t kEpochDifferenceMillis = 11644473600000ULL;
const int32_t kLogDay = 15;
const uint16_t kEnglishUnitedStates = 0x0409;

const char* const kRestoreOptions = "MainDialog_Button_RestoreOptions";  // a cached key
const char* const kEnglishRestore = "Restore Options...";
const char* const kGermanRestore = "Wiederherstellungsoptionen...";
const char* const kJapaneseRestore = "復元オプション...";

// English has every text used below except TrayMenuItem_Inherit and "progress"; French
// lacks the restore text; Korean has no element at all.
const char* const kInterfaceXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvbui_interface>\n"
    "  <qvbui_text lang=\"en_US\" MainDialog_Button_RestoreOptions=\"Restore Options...\"\n"
    "      TrayMenuItem_Help=\"Help\" TrayMenuItem_Quit=\"Quit &amp; close\" />\n"
    "  <qvbui_text lang=\"de_DE\" MainDialog_Button_RestoreOptions=\"Wiederherstellungsoptionen...\"\n"
    "      TrayMenuItem_Help=\"Hilfe\" />\n"
    "  <qvbui_text lang=\"ja_JP\" MainDialog_Button_RestoreOptions=\"復元オプション...\" />\n"
    "  <qvbui_text lang=\"fr_FR\" TrayMenuItem_Help=\"Aide\" />\n"
    "</qvbui_interface>\n";

std::string TextOf(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

std::string LookUp(const char* key) {
    QvString out("sentinel");
    GetUtf8InterfaceText(key, &out);
    return TextOf(out);
}

class QvUiUtilText : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvPlatformTest::SetFakeFileTime((kNowMillis + kEpochDifferenceMillis) * 10000);
        installDir = temp.MakeDir("install");
        dataDir = temp.MakeDir("data");
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.MakeDir("registry")));
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook",
                                                      "installdir", installDir));
        temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + dataDir + "\" />\n");
        QvSystemTest::ResetDirectoryCaches();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvSystemTest::ResetLocaleOverride();
        QvSystemTest::SetFakeUiLanguage(kEnglishUnitedStates);
        QvUiUtilTest::ResetModule();
        SetLogDirectory(temp.MakeDir("data\\logs").c_str());
    }

    void TearDown() override {
        QvUiUtilTest::ResetModule();
        SetLogDirectory(nullptr);
        QvSystemTest::SetFakeUiLanguage(0);
        QvSystemTest::ResetLocaleOverride();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    // Installs the interface file (none for null), starts the module and empties the log,
    // so that the log holds only what the lookups write.
    void StartWithInterfaceFile(const char* xml) {
        if (xml)
            temp.MakeFile("install\\qvbui_interface.xml", xml);
        InitQvUiUtil();
        ClearLog();
    }

    std::string LogPath() {
        QvString path;
        GetLogFilePath(kLogDay, &path);
        return TextOf(path);
    }
    void ClearLog() { ASSERT_TRUE(QvTestFs::WriteFile(LogPath(), "")); }
    // The messages of the day's log, without time stamp and process id.
    std::vector<std::string> LogMessages() {
        std::string content;
        std::vector<std::string> messages;
        if (!QvTestFs::ReadFile(LogPath(), &content))
            return messages;
        size_t start = 0;
        for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = content.substr(start, end - start);
            size_t dash = line.find(" - ");
            messages.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
        }
        return messages;
    }

    std::string installDir;
    std::string dataDir;
};

struct LookupCase {
    const char* locale;
    const char* key;
    const char* expected;
    std::vector<std::string> linesPerLookup;
    bool cachedAfterFirst;  // the second lookup is served from the cache, without lines
};

}  // namespace

TEST_F(QvUiUtilText, LooksUpCurrentLanguageThenEnglishAndLogsEveryMiss) {
    StartWithInterfaceFile(kInterfaceXml);
    const std::string noEnglish = "ERROR: GetUtf8InterfaceText, could not even find English for: ";
    const LookupCase cases[] = {
        {"de_DE", kRestoreOptions, kGermanRestore, {}, true},
        {"de_DE", "TrayMenuItem_Help", "Hilfe", {}, false},
        {"en_US", "TrayMenuItem_Quit", "Quit & close", {}, false},
        // A language without an element falls back without a word.
        {"ko_KR", "TrayMenuItem_Help", "Help", {}, false},
        // A text found in English is cached under French like any other.
        {"fr_FR", kRestoreOptions, kEnglishRestore,
         {"ERROR: GetI18nInstallText, no <MainDialog_Button_RestoreOptions> tag found in snippet: fr_FR"}, true},
        {"fr_FR", "TrayMenuItem_Quit", "Quit & close",
         {"ERROR: GetI18nInstallText, no <TrayMenuItem_Quit> tag found in snippet: fr_FR"}, false},
        // Found nowhere: "ERR_" is never cached, not even for a cached key.
        {"en_US", "TrayMenuItem_Inherit", "ERR_TrayMenuItem_Inherit",
         {"ERROR: GetI18nInstallText, no <TrayMenuItem_Inherit> tag found in snippet: en_US",
          noEnglish + "TrayMenuItem_Inherit"}, false},
        {"ko_KR", "TrayMenuItem_Inherit", "ERR_TrayMenuItem_Inherit", {noEnglish + "TrayMenuItem_Inherit"}, false},
        {"de_DE", "progress", "ERR_progress",
         {"ERROR: GetI18nInstallText, no <progress> tag found in snippet: de_DE", noEnglish + "progress"}, false},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.key);
        ASSERT_TRUE(QvSystem::SetLocaleCode(c.locale));
        ClearLog();
        EXPECT_EQ(c.expected, LookUp(c.key));
        EXPECT_EQ(c.linesPerLookup, LogMessages());

        ClearLog();
        EXPECT_EQ(c.expected, LookUp(c.key));
        EXPECT_EQ(c.cachedAfterFirst ? std::vector<std::string>() : c.linesPerLookup, LogMessages());
    }
}

TEST_F(QvUiUtilText, SwitchingTheLocaleDropsTheCachedTexts) {
    StartWithInterfaceFile(kInterfaceXml);
    ASSERT_TRUE(QvSystem::SetLocaleCode("de_DE"));
    EXPECT_EQ(kGermanRestore, LookUp(kRestoreOptions));
    ASSERT_TRUE(QvSystem::SetLocaleCode("ja_JP"));
    EXPECT_EQ(kJapaneseRestore, LookUp(kRestoreOptions));
    ASSERT_TRUE(QvSystem::SetLocaleCode("de_DE"));
    EXPECT_EQ(kGermanRestore, LookUp(kRestoreOptions));
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(QvUiUtilText, FollowsTheInterfaceLanguageWhileNoLocaleIsSet) {
    StartWithInterfaceFile(kInterfaceXml);
    QvSystemTest::SetFakeUiLanguage(0x0411);
    EXPECT_EQ(kJapaneseRestore, LookUp(kRestoreOptions));
    QvSystemTest::SetFakeUiLanguage(0x0407);
    EXPECT_EQ(kGermanRestore, LookUp(kRestoreOptions));
    QvSystemTest::SetFakeUiLanguage(0x0807);  // German (Switzerland) has no code: English
    EXPECT_EQ(kEnglishRestore, LookUp(kRestoreOptions));
}

TEST_F(QvUiUtilText, ReportsElementsWithoutLanguageOnlyBeforeTheMatch) {
    const std::string before = "<qvbui_text version=\"2\" TrayMenuItem_Help=\"Before\" />";
    const std::string xml = "<qvbui_interface>\n" + before +
                            "\n<qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Help\" progress=\"Progress\" />\n"
                            "<qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Second\" />\n"
                            "<qvbui_text version=\"3\" TrayMenuItem_Help=\"After\" />\n"
                            "</qvbui_interface>\n";
    StartWithInterfaceFile(xml.c_str());
    const std::string noLang = "ERROR: GetUtf8InterfaceText, no <lang> tag found in snippet: " + before;

    // Not cached: the element before the match is reported at every lookup; the first of
    // two English elements is the one used.
    for (int i = 0; i < 2; ++i) {
        ClearLog();
        EXPECT_EQ("Help", LookUp("TrayMenuItem_Help"));
        EXPECT_EQ(std::vector<std::string>{noLang}, LogMessages());
    }
    // Cached: only the lookup that misses the cache reads the elements.
    ClearLog();
    EXPECT_EQ("Progress", LookUp("progress"));
    EXPECT_EQ("Progress", LookUp("progress"));
    EXPECT_EQ(std::vector<std::string>{noLang}, LogMessages());
}

TEST_F(QvUiUtilText, WithoutInterfaceFileEveryLookupFailsAndEditsWaitForTheNextStart) {
    StartWithInterfaceFile(nullptr);
    const std::vector<std::string> noElement = {
        "ERROR: GetUtf8InterfaceText, no <qvbui_text> tag found in private_qvbuiInterfaceXml"};
    EXPECT_EQ("ERR_MainDialog_Button_RestoreOptions", LookUp(kRestoreOptions));
    EXPECT_EQ(noElement, LogMessages());

    // The file is read once per process: one written later is not seen.
    temp.MakeFile("install\\qvbui_interface.xml", kInterfaceXml);
    ClearLog();
    EXPECT_EQ("ERR_MainDialog_Button_RestoreOptions", LookUp(kRestoreOptions));
    EXPECT_EQ(noElement, LogMessages());

    QvUiUtilTest::ResetModule();
    EXPECT_EQ(kEnglishRestore, LookUp(kRestoreOptions));
}

TEST_F(QvUiUtilText, LookupsFromSeveralThreadsShareTheCache) {
    StartWithInterfaceFile(kInterfaceXml);
    ASSERT_TRUE(QvSystem::SetLocaleCode("de_DE"));
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (size_t t = 0; t < wrong.size(); ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 200; ++i) {
                wrong[t] += LookUp(kRestoreOptions) != kGermanRestore;
                wrong[t] += LookUp("TrayMenuItem_Help") != "Hilfe";
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::vector<int>(wrong.size(), 0), wrong);
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(QvUiUtilText, NullOutputIsIgnoredAndNullKeyCountsAsEmpty) {
    StartWithInterfaceFile(kInterfaceXml);
    GetUtf8InterfaceText(kRestoreOptions, nullptr);
    EXPECT_EQ("ERR_", LookUp(nullptr));
}

TEST_F(QvUiUtilText, ChoosesTheConfiguredLanguage) {
    StartWithInterfaceFile(kInterfaceXml);
    struct LocaleCase {
        const char* settings;         // qvinfo.xml content, null for no file
        const char* installerLocale;  // qvui_installer_locale.txt content, null for no file
        const char* expected;
    };
    const LocaleCase cases[] = {
        {"<qvinfo qvui_locale=\"it_IT\" />", "ko_KR", "it_IT"},
        {"<qvinfo qvui_locale=\"default\" />", "ko_KR", "ko_KR"},
        {"<qvinfo qvui_locale=\"\" />", "ko_KR", "ko_KR"},
        {"<qvinfo qvui_locale=\"default\" />", nullptr, "default"},
        {"<qvinfo qvui_locale=\"\" />", nullptr, ""},
        {"<qvinfo other=\"1\" />", nullptr, ""},
        {nullptr, nullptr, ""},
        // Taken as written, neither trimmed nor checked.
        {nullptr, "ja_JP\r\n", "ja_JP\r\n"},
        {"<qvinfo qvui_locale=\"Klingon\" />", "ja_JP", "Klingon"},
    };
    const std::string settingsPath = dataDir + "\\qvinfo.xml";
    const std::string installerPath = dataDir + "\\qvui_installer_locale.txt";
    const QvString* first = &GetQvUiLocale();
    // The files are read again at every call, and the same string holds each answer.
    for (const LocaleCase& c : cases) {
        SCOPED_TRACE(std::string(c.settings ? c.settings : "(no settings)") + " / " +
                     (c.installerLocale ? c.installerLocale : "(no installer file)"));
        QvTestFs::RemoveTree(settingsPath);
        QvTestFs::RemoveTree(installerPath);
        if (c.settings) {
            ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, c.settings));
        }
        if (c.installerLocale) {
            ASSERT_TRUE(QvTestFs::WriteFile(installerPath, c.installerLocale));
        }
        const QvString& locale = GetQvUiLocale();
        EXPECT_EQ(c.expected, TextOf(locale));
        EXPECT_EQ(first, &locale);
    }
}
