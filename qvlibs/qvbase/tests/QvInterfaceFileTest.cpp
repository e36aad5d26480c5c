// The interface-text file that ships with the client: every language has its own element
// with every tray text, English has every cached text, the progress formats take one number.
#include "qvbase/QvUiUtil.h"

#include <string>

#include <gtest/gtest.h>

#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"

#ifndef QV_SHIPPED_INTERFACE_FILE
#error "QV_SHIPPED_INTERFACE_FILE must name data/install/qvbui_interface.xml"
#endif

namespace {

const char* const kLocales[] = {"en_US", "ja_JP", "zh_TW", "zh_CN", "ko_KR", "fr_FR",
                                "de_DE", "es_ES", "it_IT", "ru_RU", "pt_BR"};
const char* const kFormatKeys[] = {"SendLogsMenu_Status_Preparing", "SendLogsMenu_Status_Sending"};
const char* const kTrayKeys[] = {
    "TrayMenuItem_VelbrookControlPanel", "TrayMenuItem_Help", "TrayMenuItem_CheckForUpdates",
    "TrayMenuItem_Inherit",  "MainDialog_Button_RestoreOptions", "TrayMenuItem_About",
    "TrayMenuItem_Quit",     "SendLogsMenu_Text", kFormatKeys[0], kFormatKeys[1],
};

std::string LookUp(const char* key) {
    QvString out;
    GetUtf8InterfaceText(key, &out);
    return out.GetText();
}

// The number of "%u" conversions, or -1 when a "%" starts anything but "%u" or "%%".
int CountUnsignedConversions(const std::string& format) {
    int count = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (next == 'u')
            ++count;
        else if (next != '%')
            return -1;
        ++i;
    }
    return count;
}

class QvInterfaceFile : public QvTestInstallation {
protected:
    void SetUp() override {
        QvTestInstallation::SetUp();
        std::string content;
        ASSERT_TRUE(QvTestFs::ReadFile(QV_SHIPPED_INTERFACE_FILE, &content)) << "cannot read " << QV_SHIPPED_INTERFACE_FILE;
        interfacePath = temp.MakeFile("install\\qvbui_interface.xml", content);
        InitQvUiUtil();
        TakeLog();
    }
    std::string interfacePath;
};

TEST_F(QvInterfaceFile, EveryLanguageHasItsOwnElementWithEveryTrayText) {
    QvStringVector snippets;
    ASSERT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(interfacePath.c_str(), "qvbui_text", &snippets));
    for (const char* locale : kLocales) {
        // A language without an element would fall back to English without a word.
        bool found = false;
        QvString lang;
        for (int32_t i = 0; i < snippets.GetCount() && !found; ++i)
            found = QvFile::GetUniqueStrAttrFromXmlSnippet(snippets.GetAt(i)->GetText(), "lang", &lang) &&
                    std::string(lang.GetText()) == locale;
        EXPECT_TRUE(found) << "no element with lang=\"" << locale << "\"";
        ASSERT_TRUE(QvSystem::SetLocaleCode(locale));
        for (const char* key : kTrayKeys) {
            std::string text = LookUp(key);
            EXPECT_TRUE(!text.empty() && text.find("ERR_") != 0) << locale << " " << key;
        }
        // The menu formats these with one unsigned number.
        for (const char* key : kFormatKeys) {
            std::string format = LookUp(key);
            EXPECT_EQ(1, CountUnsignedConversions(format)) << locale << " " << key << ": " << format;
        }
    }
    // A text missing from a language, or an element without "lang", would be logged.
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(QvInterfaceFile, EnglishHasEveryCachedText) {
    ASSERT_TRUE(QvSystem::SetLocaleCode("en_US"));
    ASSERT_EQ(62, QvUiUtilTest::GetCachedKeyCount());
    for (int32_t i = 0; i < QvUiUtilTest::GetCachedKeyCount(); ++i) {
        std::string text = LookUp(QvUiUtilTest::GetCachedKey(i));
        EXPECT_TRUE(!text.empty() && text.find("ERR_") != 0) << QvUiUtilTest::GetCachedKey(i);
    }
    EXPECT_TRUE(TakeLog().empty());
}

}  // namespace
