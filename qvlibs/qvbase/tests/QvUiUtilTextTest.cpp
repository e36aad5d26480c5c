// The interface texts: the module's one start, the configured language, which element a
// text comes from, what is cached, and the log lines of every miss.
#include "qvbase/QvUiUtil.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "QvTestPlatform.h"

namespace {

const char* const kRestoreOptions = "MainDialog_Button_RestoreOptions";  // a cached key
const char* const kEnglishRestore = "Restore Options...";
const char* const kGermanRestore = "Wiederherstellungsoptionen...";
const char* const kJapaneseRestore = "\xE5\xBE\xA9\xE5\x85\x83\xE3\x82\xAA\xE3\x83\x97\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3...";

// English has every text used below except TrayMenuItem_Inherit and "progress"; French
// lacks the restore text; Korean has no element at all.
const std::string kInterfaceXml = std::string(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvbui_interface>\n"
    "  <qvbui_text lang=\"en_US\" MainDialog_Button_RestoreOptions=\"Restore Options...\"\n"
    "      TrayMenuItem_Help=\"Help\" TrayMenuItem_Quit=\"Quit &amp; close\" />\n"
    "  <qvbui_text lang=\"de_DE\" MainDialog_Button_RestoreOptions=\"Wiederherstellungsoptionen...\"\n"
    "      TrayMenuItem_Help=\"Hilfe\" />\n"
    "  <qvbui_text lang=\"ja_JP\" MainDialog_Button_RestoreOptions=\"") + kJapaneseRestore + "\" />\n"
    "  <qvbui_text lang=\"fr_FR\" TrayMenuItem_Help=\"Aide\" />\n</qvbui_interface>\n";

std::string LookUp(const char* key) {
    QvString out("sentinel");
    GetUtf8InterfaceText(key, &out);
    return std::string(out.GetText(), size_t(out.GetLength()));
}

class QvUiUtilText : public QvTestInstallation {
protected:
    // Installs the interface file, starts the module and skips what the start logged.
    void Start(const std::string& xml) {
        temp.MakeFile("install\\qvbui_interface.xml", xml);
        InitQvUiUtil();
        TakeLog();
    }
};

TEST_F(QvUiUtilText, StartsOnceAtTheFirstLookupAndKeepsTheTextItLoaded) {
    ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, "<qvinfo qvlogin=\"bob\" />"));
    EXPECT_EQ("ERR_MainDialog_Button_RestoreOptions", LookUp(kRestoreOptions));
    EXPECT_STREQ("bob", QvInfoManager::GetControlPanelSettings().qvLogin.GetText()) << "the settings were read";
    const std::vector<std::string> noElement = {
        "ERROR: GetUtf8InterfaceText, no <qvbui_text> tag found in private_qvbuiInterfaceXml"};
    EXPECT_EQ(noElement, TakeLog("ERROR: GetUtf8"));

    // Neither file is read again: a later interface file waits for the next start.
    ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, "<qvinfo qvlogin=\"eve\" />"));
    temp.MakeFile("install\\qvbui_interface.xml", kInterfaceXml);
    EXPECT_EQ("ERR_MainDialog_Button_RestoreOptions", LookUp(kRestoreOptions));
    EXPECT_EQ(noElement, TakeLog());
    EXPECT_STREQ("bob", QvInfoManager::GetControlPanelSettings().qvLogin.GetText());
    GetUtf8InterfaceText(kRestoreOptions, nullptr);
    EXPECT_EQ("ERR_", LookUp(nullptr));

    QvUiUtilTest::ResetModule();
    EXPECT_EQ(kEnglishRestore, LookUp(kRestoreOptions));
    EXPECT_STREQ("eve", QvInfoManager::GetControlPanelSettings().qvLogin.GetText());
}

TEST_F(QvUiUtilText, LooksUpCurrentLanguageThenEnglishAndLogsEveryMiss) {
    Start(kInterfaceXml);
    const std::string noEnglish = "ERROR: GetUtf8InterfaceText, could not even find English for: ";
    const struct {
        const char* locale;
        const char* key;
        std::string expected;
        std::vector<std::string> linesPerLookup;
        bool cachedAfterFirst;  // the second lookup is served from the cache, without lines
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.key);
        ASSERT_TRUE(QvSystem::SetLocaleCode(c.locale));
        EXPECT_EQ(c.expected, LookUp(c.key));
        EXPECT_EQ(c.linesPerLookup, TakeLog());
        EXPECT_EQ(c.expected, LookUp(c.key));
        EXPECT_EQ(c.cachedAfterFirst ? std::vector<std::string>() : c.linesPerLookup, TakeLog());
    }
}

TEST_F(QvUiUtilText, ALocaleChangeDropsTheCachedTexts) {
    Start(kInterfaceXml);
    for (const char* locale : {"de_DE", "ja_JP", "de_DE"}) {
        ASSERT_TRUE(QvSystem::SetLocaleCode(locale));
        EXPECT_EQ(locale[0] == 'd' ? kGermanRestore : kJapaneseRestore, LookUp(kRestoreOptions)) << locale;
    }
    // Without an override the locale follows the interface language at each lookup.
    QvSystemTest::ResetLocaleOverride();
    QvPlatformTest::SetFakeUiLanguage(0x0411);
    EXPECT_EQ(kJapaneseRestore, LookUp(kRestoreOptions));
    QvPlatformTest::SetFakeUiLanguage(0x0807);  // German (Switzerland) has no code: English
    EXPECT_EQ(kEnglishRestore, LookUp(kRestoreOptions));
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(QvUiUtilText, ReportsElementsWithoutLanguageOnlyBeforeTheMatch) {
    const std::string before = "<qvbui_text version=\"2\" TrayMenuItem_Help=\"Before\" />";
    Start("<qvbui_interface>\n" + before +
          "\n<qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Help\" progress=\"Progress\" />\n"
          "<qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Second\" />\n"
          "<qvbui_text version=\"3\" TrayMenuItem_Help=\"After\" />\n</qvbui_interface>\n");
    const std::vector<std::string> noLang = {"ERROR: GetUtf8InterfaceText, no <lang> tag found in snippet: " + before};
    // Not cached: reported at every lookup; the first of two English elements is used.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ("Help", LookUp("TrayMenuItem_Help"));
        EXPECT_EQ(noLang, TakeLog());
    }
    // Cached: only the lookup that misses the cache reads the elements.
    EXPECT_EQ("Progress", LookUp("progress"));
    EXPECT_EQ("Progress", LookUp("progress"));
    EXPECT_EQ(noLang, TakeLog());
}

TEST_F(QvUiUtilText, ChoosesTheConfiguredLanguage) {
    Start(kInterfaceXml);
    const std::string installerPath = dataDir + "\\qvui_installer_locale.txt";
    // The contents of qvinfo.xml and qvui_installer_locale.txt; null: no file.
    const struct { const char* settings; const char* installerLocale; const char* expected; } cases[] = {
        {"<qvinfo qvui_locale=\"it_IT\" />", "ko_KR", "it_IT"},
        {"<qvinfo qvui_locale=\"default\" />", "ko_KR", "ko_KR"},
        {"<qvinfo qvui_locale=\"\" />", "ko_KR", "ko_KR"},
        {"<qvinfo qvui_locale=\"default\" />", nullptr, "default"},
        {"<qvinfo other=\"1\" />", nullptr, ""},
        {nullptr, "ja_JP\r\n", "ja_JP\r\n"},  // taken as written, neither trimmed nor checked
        {nullptr, "", "default"},             // "": a file above the read limit, which no read can take
    };
    // The files are read again at every call, and the same string holds each answer.
    const QvString* first = &GetQvUiLocale();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.settings ? c.settings : "-") + " / " + (c.installerLocale ? c.installerLocale : "-"));
        QvTestFs::RemoveTree(settingsPath);
        QvTestFs::RemoveTree(installerPath);
        if (c.settings) {
            ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, c.settings));
        }
        if (c.installerLocale) {
            ASSERT_TRUE(*c.installerLocale ? QvTestFs::WriteFile(installerPath, c.installerLocale)
                                           : QvTestFs::MakeSizedFile(installerPath, 1024000001));
        }
        EXPECT_EQ(c.expected, std::string(GetQvUiLocale().GetText()));
        EXPECT_EQ(first, &GetQvUiLocale());
    }
}

}  // namespace
