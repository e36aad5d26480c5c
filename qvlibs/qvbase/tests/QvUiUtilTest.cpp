// The UI utility module: the interface texts (language, cache, the log lines of every miss) and the
// send-logs record (its decoding, the retries on a record of another size, counted on the fake clock).
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

using Lines = std::vector<std::string>;
const char* const kRestore = "MainDialog_Button_RestoreOptions";  // a cached key
const char* const kEnglishRestore = "Restore Options...";
const char* const kGermanRestore = "Wiederherstellungsoptionen...";
const char* const kJapaneseRestore =
    "\xE5\xBE\xA9\xE5\x85\x83\xE3\x82\xAA\xE3\x83\x97\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3...";

// English has every text used below except TrayMenuItem_Inherit and "progress"; French lacks the
// restore text; Korean has no element at all.
const std::string kInterfaceXml = std::string(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvbui_interface>\n"
    "  <qvbui_text lang=\"en_US\" MainDialog_Button_RestoreOptions=\"Restore Options...\"\n"
    "      TrayMenuItem_Help=\"Help\" TrayMenuItem_Quit=\"Quit &amp; close\" />\n"
    "  <qvbui_text lang=\"de_DE\" MainDialog_Button_RestoreOptions=\"Wiederherstellungsoptionen...\"\n"
    "      TrayMenuItem_Help=\"Hilfe\" />\n"
    "  <qvbui_text lang=\"ja_JP\" MainDialog_Button_RestoreOptions=\"") + kJapaneseRestore + "\" />\n"
    "  <qvbui_text lang=\"fr_FR\" TrayMenuItem_Help=\"Aide\" />\n</qvbui_interface>\n";

class QvUiUtilText : public QvTestInstallation {
protected:
    // Installs the interface file, starts the module and skips what the start logged.
    void Start(const std::string& xml) {
        temp.MakeFile("install\\qvbui_interface.xml", xml);
        InitQvUiUtil();
        TakeLog();
    }
};

TEST_F(QvUiUtilText, LooksUpCurrentLanguageThenEnglishAndLogsEveryMiss) {
    Start(kInterfaceXml);
    const std::string noEnglish = "ERROR: GetUtf8InterfaceText, could not even find English for: ";
    const std::string missing = "ERROR: GetI18nInstallText, no <";
    // The second lookup of a cached text comes from the cache, without lines; "ERR_" is never cached. A
    // locale change drops the cached texts.
    const struct { const char *locale, *key; std::string expected; Lines linesPerLookup; bool cached; } cases[] = {
        {"de_DE", kRestore, kGermanRestore, {}, true}, {"ja_JP", kRestore, kJapaneseRestore, {}, true},
        {"de_DE", kRestore, kGermanRestore, {}, true},
        {"de_DE", "TrayMenuItem_Help", "Hilfe", {}, false},
        {"ko_KR", "TrayMenuItem_Help", "Help", {}, false},  // no element: English without a word
        {"fr_FR", "TrayMenuItem_Quit", "Quit & close", {missing + "TrayMenuItem_Quit> tag found in snippet: fr_FR"},
         false},
        {"en_US", "TrayMenuItem_Inherit", "ERR_TrayMenuItem_Inherit",
         {missing + "TrayMenuItem_Inherit> tag found in snippet: en_US", noEnglish + "TrayMenuItem_Inherit"}, false},
        {"ko_KR", "TrayMenuItem_Inherit", "ERR_TrayMenuItem_Inherit", {noEnglish + "TrayMenuItem_Inherit"}, false},
        {"fr_FR", kRestore, kEnglishRestore, {missing + kRestore + "> tag found in snippet: fr_FR"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.key);
        ASSERT_TRUE(QvSystem::SetLocaleCode(c.locale));
        EXPECT_EQ(c.expected, LookUp(c.key));
        EXPECT_EQ(c.linesPerLookup, TakeLog());
        EXPECT_EQ(c.expected, LookUp(c.key));
        EXPECT_EQ(c.cached ? Lines() : c.linesPerLookup, TakeLog());
    }
    // Without an override the locale follows the interface language at each lookup.
    QvSystemTest::ResetLocaleOverride();
    QvPlatformTest::SetFakeUiLanguage(0x0411);
    EXPECT_EQ(kJapaneseRestore, LookUp(kRestore));
    EXPECT_EQ(Lines{}, TakeLog());
}

class QvUiUtilStatus : public QvTestInstallation {
protected:
    void SetUp() override {
        QvTestInstallation::SetUp();
        InitQvUiUtil();  // started here: the cases see only their own reads, waits and lines
        TakeLog();
        QvPlatformTest::ResetSleepCounters();
    }
    void TearDown() override {
        EXPECT_EQ(Lines{}, TakeLog());
        QvTestInstallation::TearDown();
    }
};

TEST_F(QvUiUtilStatus, DecodesTheSendLogsRecordAndWorksOutThePercentageAndRefusesMissingOutputs) {
    // Every output is preset to 189 (0xbd): an output left untouched shows it.
    const std::string untouched = std::to_string(kSendLogsRunStatusNone) + " 189% 189/189 error 189";
    EXPECT_EQ(untouched, SendLogsStatus(0xbd)) << "no file: no job, at once";
    const uint64_t half = 1ULL << 63;
    // 64-bit unsigned arithmetic: the products wrap, the result keeps its low 32 bits.
    const struct { uint32_t status; uint64_t done, total; int32_t errorCode; uint32_t percent; } cases[] = {
        {1, 30, 100, 0, 3}, {1, 7, 0, 0, 0}, {2, 50, 100, 0, 55}, {2, 5, 0, 0, 10}, {0xfffffffeu, 5, 10, -7001, 0},
        {1, half, half, 0, 0}, {2, half, half, 0, 10}, {2, 1ULL << 40, 1, 0, 10}};
    for (const auto& c : cases) {
        ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), SendLogsRecord(c.status, c.done, c.total, c.errorCode)));
        EXPECT_EQ(std::to_string(c.status) + " " + std::to_string(c.percent) + "% " + std::to_string(c.done) + "/" +
                      std::to_string(c.total) + " error " + std::to_string(c.errorCode),
                  SendLogsStatus(0xbd));
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    // A record of any other size is read ten times, 100 ms apart, then logged (QvHostileFilesTest: other sizes).
    ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), SendLogsRecord(2, 50, 100) + "x"));
    EXPECT_EQ(untouched, SendLogsStatus(0xbd));
    EXPECT_EQ(10, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(1000, QvPlatformTest::GetSleptMillis());
    Lines log = TakeLog();
    if (log.size() == 1 && log[0].find(' ') != std::string::npos)
        log[0].erase(19, log[0].find(' ') - 19);  // the line number
    EXPECT_EQ(Lines{"QvUiUtilStatus.cpp: [QvUiUtil::GetSendLogsStatus()] ERROR:\tpSendLogsStatus is NULL for " +
                    SendLogsPath()}, log);
    // A missing output pointer gives bad arguments without reading the (long) record; the error code, when
    // there is one, says so and the other outputs stay untouched.
    QvPlatformTest::ResetSleepCounters();
    for (int missing = 0; missing < 4; ++missing) {
        uint32_t percent = 0xbd;
        uint64_t done = 0xbd, total = 0xbd;
        int32_t errorCode = 0xbd;
        EXPECT_EQ(kSendLogsRunStatusBadArguments,
                  QvUiUtil::GetSendLogsStatus(missing == 0 ? nullptr : &percent, missing == 1 ? nullptr : &done,
                                              missing == 2 ? nullptr : &total, missing == 3 ? nullptr : &errorCode));
        EXPECT_EQ("189 189/189 error " + std::to_string(missing == 3 ? 0xbd : kSendLogsBadArgumentsErrorCode),
                  std::to_string(percent) + " " + std::to_string(done) + "/" + std::to_string(total) + " error " +
                      std::to_string(errorCode)) << "GetSendLogsStatus without output " << missing;
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
}

}  // namespace
