// The shipped interface-text file: every language has its own element with every tray text, English
// has every cached text, and the progress formats take one unsigned number.
#include "qvbase/QvUiUtil.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "QvTestCommon.h"
#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"

namespace {

bool HasText(const char* key) {
    std::string text = QvTestInstallation::LookUp(key);
    return !text.empty() && text.compare(0, 4, "ERR_") != 0;
}

using QvInterfaceFile = QvTestInstallation;

TEST_F(QvInterfaceFile, EveryLanguageHasEveryTrayTextAndEnglishEveryCachedText) {
    std::string content;
    const std::string shipped = QvTestDataFile(QV_SHIPPED_INTERFACE_FILE);
    ASSERT_TRUE(QvTestFs::ReadFile(shipped.c_str(), &content)) << shipped;
    std::string path = temp.MakeFile("install\\qvbui_interface.xml", content);
    InitQvUiUtil();
    TakeLog();
    const char* const formatKeys[] = {"SendLogsMenu_Status_Preparing", "SendLogsMenu_Status_Sending"};
    const char* const trayKeys[] = {"TrayMenuItem_VelbrookControlPanel", "TrayMenuItem_Help",
                                    "TrayMenuItem_CheckForUpdates", "TrayMenuItem_Inherit",
                                    "MainDialog_Button_RestoreOptions", "TrayMenuItem_About", "TrayMenuItem_Quit",
                                    "SendLogsMenu_Text", formatKeys[0], formatKeys[1]};
    // A language without its own element would fall back to English without a word.
    QvStringVector snippets;
    ASSERT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "qvbui_text", &snippets));
    std::set<std::string> languages;
    for (int32_t i = 0; i < snippets.GetCount(); ++i) {
        QvString lang;
        if (QvFile::GetUniqueStrAttrFromXmlSnippet(snippets.GetAt(i)->GetText(), "lang", &lang))
            languages.insert(lang.GetText());
    }
    for (const char* locale : {"en_US", "ja_JP", "zh_TW", "zh_CN", "ko_KR", "fr_FR", "de_DE", "es_ES", "it_IT",
                               "ru_RU", "pt_BR"}) {
        EXPECT_EQ(1u, languages.count(locale)) << "no element with lang=\"" << locale << "\"";
        ASSERT_TRUE(QvSystem::SetLocaleCode(locale));
        for (const char* key : trayKeys) EXPECT_TRUE(HasText(key)) << locale << " " << key;
        // The menu formats these with one unsigned number: one "%u", any "%%", no other "%".
        for (const char* key : formatKeys) {
            std::string format = LookUp(key);
            int conversions = 0;
            for (size_t at = format.find('%'); at != std::string::npos; at = format.find('%', at + 2))
                conversions += format.compare(at, 2, "%u") == 0 ? 1 : format.compare(at, 2, "%%") == 0 ? 0 : 100;
            EXPECT_EQ(1, conversions) << locale << " " << key << ": " << format;
        }
    }
    ASSERT_TRUE(QvSystem::SetLocaleCode("en_US"));
    for (int32_t i = 0; i < QvUiUtilTest::GetCachedKeyCount(); ++i)
        EXPECT_TRUE(HasText(QvUiUtilTest::GetCachedKey(i))) << QvUiUtilTest::GetCachedKey(i);
    // A text missing from a language, or an element without "lang", would be logged.
    EXPECT_TRUE(TakeLog().empty());
}

}  // namespace
