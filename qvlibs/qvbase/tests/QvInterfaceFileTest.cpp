// The interface-text file that ships with the client, read the way the tray program reads
// it: every language has its own element with every text of the tray menu, English has
// every cached text, and the two progress formats take exactly one unsigned number.
#include "qvbase/QvUiUtil.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "config/QvInfoManagerTestHooks.h"
#include "config/QvUiUtilTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"
#include "system/QvSystemTestHooks.h"

#ifndef QV_SHIPPED_INTERFACE_FILE
#error "QV_SHIPPED_INTERFACE_FILE must name data/install/qvbui_interface.xml"
#endif

namespace {

// 2024-03-15 10:00:00 UTC: the log lines go to the file of day 15.
const uint64_t kNowMillis = 1710496800000ULL;
const uint64_t kEpochDifferenceMillis = 11644473600000ULL;
const int32_t kLogDay = 15;

const char* const kLocales[] = {"en_US", "ja_JP", "zh_TW", "zh_CN", "ko_KR", "fr_FR",
                                "de_DE", "es_ES", "it_IT", "ru_RU", "pt_BR"};
const char* const kFormatKeys[] = {"SendLogsMenu_Status_Preparing", "SendLogsMenu_Status_Sending"};
const char* const kTrayKeys[] = {
    "TrayMenuItem_VelbrookControlPanel", "TrayMenuItem_Help", "TrayMenuItem_CheckForUpdates",
    "TrayMenuItem_Inherit",  "MainDialog_Button_RestoreOptions", "TrayMenuItem_About",
    "TrayMenuItem_Quit",     "SendLogsMenu_Text", kFormatKeys[0], kFormatKeys[1],
};

std::string TextOf(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

std::string LookUp(const char* key) {
    QvString out;
    GetUtf8InterfaceText(key, &out);
    return TextOf(out);
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

class QvInterfaceFile : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvPlatformTest::SetFakeFileTime((kNowMillis + kEpochDifferenceMillis) * 10000);
        std::string content;
        ASSERT_TRUE(QvTestFs::ReadFile(QV_SHIPPED_INTERFACE_FILE, &content)) << "cannot read " << QV_SHIPPED_INTERFACE_FILE;
        std::string installDir = temp.MakeDir("install");
        std::string dataDir = temp.MakeDir("data");
        interfacePath = temp.MakeFile("install\\qvbui_interface.xml", content);
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.MakeDir("registry")));
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook",
                                                      "installdir", installDir));
        temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + dataDir + "\" />\n");
        QvSystemTest::ResetDirectoryCaches();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvSystemTest::ResetLocaleOverride();
        QvUiUtilTest::ResetModule();
        SetLogDirectory(temp.MakeDir("data\\logs").c_str());
        InitQvUiUtil();
        GetLogFilePath(kLogDay, &logPath);
        ASSERT_TRUE(QvTestFs::WriteFile(TextOf(logPath), ""));
    }

    void TearDown() override {
        QvUiUtilTest::ResetModule();
        SetLogDirectory(nullptr);
        QvSystemTest::ResetLocaleOverride();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    std::string LogContent() {
        std::string content;
        QvTestFs::ReadFile(TextOf(logPath), &content);
        return content;
    }

    std::string interfacePath;
    QvString logPath;
};

}  // namespace

TEST_F(QvInterfaceFile, EveryLanguageHasItsOwnElementWithEveryTrayText) {
    QvStringVector snippets;
    ASSERT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(interfacePath.c_str(), "qvbui_text", &snippets));
    for (const char* locale : kLocales) {
        SCOPED_TRACE(locale);
        const char* element = nullptr;
        QvString lang;
        for (int32_t i = 0; i < snippets.GetCount() && !element; ++i) {
            const char* snippet = snippets.GetAt(i)->GetText();
            if (QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "lang", &lang) && TextOf(lang) == locale)
                element = snippet;
        }
        // An element the reader cannot see would fall back to English without a word.
        ASSERT_NE(nullptr, element) << "no element with lang=\"" << locale << "\"";
        for (const char* key : kTrayKeys) {
            QvString text;
            EXPECT_TRUE(QvFile::GetUniqueStrAttrFromXmlSnippet(element, key, &text)) << key;
            EXPECT_GT(text.GetLength(), 0) << key;
        }
    }
}

TEST_F(QvInterfaceFile, TrayTextsAreFoundInEveryLanguageWithoutFallback) {
    for (const char* locale : kLocales) {
        ASSERT_TRUE(QvSystem::SetLocaleCode(locale));
        for (const char* key : kTrayKeys) {
            std::string text = LookUp(key);
            EXPECT_FALSE(text.empty()) << locale << " " << key;
            EXPECT_NE(0u, text.find("ERR_")) << locale << " " << key;
        }
    }
    // A text missing from a language, or an element without "lang", would be logged.
    EXPECT_EQ("", LogContent());
}

TEST_F(QvInterfaceFile, EnglishHasEveryCachedText) {
    ASSERT_TRUE(QvSystem::SetLocaleCode("en_US"));
    ASSERT_EQ(62, QvUiUtilTest::GetCachedKeyCount());
    for (int32_t i = 0; i < QvUiUtilTest::GetCachedKeyCount(); ++i) {
        const char* key = QvUiUtilTest::GetCachedKey(i);
        std::string text = LookUp(key);
        EXPECT_FALSE(text.empty()) << key;
        EXPECT_NE(0u, text.find("ERR_")) << key;
    }
    EXPECT_EQ("", LogContent());
}

TEST_F(QvInterfaceFile, ProgressFormatsTakeExactlyOneUnsignedNumber) {
    for (const char* locale : kLocales) {
        ASSERT_TRUE(QvSystem::SetLocaleCode(locale));
        for (const char* key : kFormatKeys) {
            SCOPED_TRACE(std::string(locale) + " " + key);
            std::string format = LookUp(key);
            EXPECT_EQ(1, CountUnsignedConversions(format)) << format;
            QvString label;
            label.Format(format.c_str(), 55u);
            EXPECT_NE(std::string::npos, TextOf(label).find("55")) << TextOf(label);
        }
    }
}
