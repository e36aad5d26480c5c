// Locale codes: the language-id table, the override rules, and (POSIX) how the interface
// language is derived from the locale variables.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <string>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "system/QvPlatformShell.h"
#include "QvTestHooks.h"
#include "QvTestPlatform.h"

namespace {

class QvSystemLocale : public ::testing::Test {
protected:
    void SetUp() override {
        QvSystemTest::ResetLocaleOverride();
        QvPlatformTest::SetFakeUiLanguage(0);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(QvSystemLocale, InterfaceLanguageSelectsItsCodeOnlyByTheWholeId) {
    // Other regions of the same languages are not in the table.
    const struct { uint16_t languageId; const char* code; } cases[] = {
        {0x0409, "en_US"}, {0x0411, "ja_JP"}, {0x0C04, "zh_TW"}, {0x0804, "zh_CN"}, {0x0412, "ko_KR"},
        {0x040C, "fr_FR"}, {0x0407, "de_DE"}, {0x0C0A, "es_ES"}, {0x0410, "it_IT"}, {0x0419, "ru_RU"},
        {0x0416, "pt_BR"}, {0x0404, "en_US"}, {0x080C, "en_US"}, {0x0807, "en_US"}, {0xFFFF, "en_US"}};
    // The language is asked for on every call: each case changes it without a reset.
    for (const auto& c : cases) {
        QvPlatformTest::SetFakeUiLanguage(c.languageId);
        EXPECT_STREQ(c.code, QvSystem::GetLocaleCode()) << std::hex << c.languageId;
    }
}

TEST_F(QvSystemLocale, OverrideWinsAndOnlyExactCodesReplaceIt) {
    QvPlatformTest::SetFakeUiLanguage(0x0411);
    EXPECT_TRUE(QvSystem::SetLocaleCode("de_DE"));
    EXPECT_STREQ("de_DE", QvSystem::GetLocaleCode());
    QvPlatformTest::SetFakeUiLanguage(0x040C);
    EXPECT_STREQ("de_DE", QvSystem::GetLocaleCode());

    for (const char* code : {"de_de", "de-DE", "default", "", "de_DE ", "xx_XX", (const char*)nullptr}) {
        EXPECT_FALSE(QvSystem::SetLocaleCode(code)) << (code ? code : "(null)");
        EXPECT_STREQ("de_DE", QvSystem::GetLocaleCode()) << (code ? code : "(null)");
    }

    EXPECT_TRUE(QvSystem::SetLocaleCode("fr_FR"));
    EXPECT_STREQ("fr_FR", QvSystem::GetLocaleCode());
}

// POSIX derives the interface language from the locale variables; on Windows it is a
// setting of the user's session that a test cannot change.
TEST_F(QvSystemLocale, PosixLanguageIdFollowsTheFirstSetLocaleVariable) {
    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "windows: the display language is a session setting, not the environment";
    const char* const names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool wasSet[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = QvTestSystem::GetEnv(names[i], &wasSet[i]);
    auto put = [&](int i, const char* value) {
        if (value)
            QvTestSystem::SetEnv(names[i], value);
        else
            QvTestSystem::UnsetEnv(names[i]);
    };
    // The values of LC_ALL, LC_MESSAGES and LANG; null: unset.
    const struct { const char* values[3]; uint16_t languageId; } cases[] = {
        {{"fr_FR.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8"}, 0x040C},
        {{"", "ja_JP.UTF-8", "de_DE.UTF-8"}, 0x0411},
        {{nullptr, nullptr, "de_CH.UTF-8"}, 0x0807},
        {{nullptr, nullptr, "zh_TW.UTF-8"}, 0x0404},
        {{nullptr, nullptr, "zh_HK.UTF-8"}, 0x0C04},
        {{nullptr, nullptr, "es_ES@euro"}, 0x0C0A},
        {{nullptr, nullptr, "ko"}, 0x0412},
        {{nullptr, nullptr, "C.UTF-8"}, 0x0409},
        {{nullptr, nullptr, "xx_YY.UTF-8"}, 0x0409},
        {{nullptr, nullptr, nullptr}, 0x0409},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            put(i, c.values[i]);
        EXPECT_EQ(c.languageId, QvPlatform::GetUserDefaultUiLanguage())
            << (c.values[0] ? c.values[0] : "-") << " " << (c.values[1] ? c.values[1] : "-") << " "
            << (c.values[2] ? c.values[2] : "-");
    }
    put(0, "ja_JP.UTF-8");
    EXPECT_STREQ("ja_JP", QvSystem::GetLocaleCode());
    for (int i = 0; i < 3; ++i)
        put(i, wasSet[i] ? saved[i].c_str() : nullptr);
}

}  // namespace
