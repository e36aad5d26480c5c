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
        {"en_US", "TrayMenuItem_Quit", "Quit & close", {}, false},
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
    QvPlatformTest::SetFakeUiLanguage(0x0807);  // German (Switzerland) has no code: English
    EXPECT_EQ(kEnglishRestore, LookUp(kRestore));
    EXPECT_EQ(Lines{}, TakeLog());
}

// The outputs of GetSendLogsStatus, pre-filled with values no reader produces.
struct SendLogsOutputs {
    uint32_t percent = 0xdeadbeef;
    uint64_t done = 0xdeadbeefdeadbeefULL, total = 0xdeadbeefdeadbeefULL;
    int32_t errorCode = 0x0badf00d;
    QvSendLogsRunStatus Read() { return QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode); }
    bool Untouched() const {
        return percent == 0xdeadbeef && done == 0xdeadbeefdeadbeefULL && total == done && errorCode == 0x0badf00d;
    }
};

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
    SendLogsOutputs none;
    EXPECT_EQ(kSendLogsRunStatusNone, none.Read()) << "no file: no job, at once";
    EXPECT_TRUE(none.Untouched());
    const uint64_t half = 1ULL << 63;
    // 64-bit unsigned arithmetic: the products wrap, the result keeps its low 32 bits.
    struct Record { uint32_t status; uint64_t done, total; int32_t errorCode; };
    const struct { Record record; uint32_t percent; } cases[] = {
        {{1, 30, 100, 0}, 3}, {{1, 7, 0, 0}, 0}, {{2, 50, 100, 0}, 55}, {{2, 5, 0, 0}, 10}, {{7, 5, 10, 42}, 0},
        {{0xfffffffeu, 1, 1, -7001}, 0}, {{1, half, half, 0}, 0}, {{2, half, half, 0}, 10},
        {{2, 1ULL << 40, 1, 0}, 10}};
    for (const auto& c : cases) {
        const Record& r = c.record;
        SCOPED_TRACE(testing::Message() << "status " << r.status << ", " << r.done << " of " << r.total);
        ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), SendLogsRecord(r.status, r.done, r.total, r.errorCode)));
        SendLogsOutputs out;
        EXPECT_EQ(r.status, out.Read());
        EXPECT_EQ(c.percent, out.percent);
        EXPECT_TRUE(out.done == r.done && out.total == r.total && out.errorCode == r.errorCode);
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    // A record of any other size is read ten times, 100 ms apart, then logged (QvHostileFilesTest: other sizes).
    ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), SendLogsRecord(2, 50, 100) + "x"));
    EXPECT_EQ(kSendLogsRunStatusNone, none.Read());
    EXPECT_TRUE(none.Untouched());
    EXPECT_EQ(10, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(1000, QvPlatformTest::GetSleptMillis());
    Lines log = TakeLog();
    if (log.size() == 1 && log[0].find(' ') != std::string::npos)
        log[0].erase(19, log[0].find(' ') - 19);  // the line number
    EXPECT_EQ(Lines{"QvUiUtilStatus.cpp: [QvUiUtil::GetSendLogsStatus()] ERROR:\tpSendLogsStatus is NULL for " +
                    SendLogsPath()}, log);
    // A missing output pointer gives bad arguments without reading the (long) record.
    QvPlatformTest::ResetSleepCounters();
    for (int missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(testing::Message() << "missing output " << missing);
        SendLogsOutputs out;
        EXPECT_EQ(kSendLogsRunStatusBadArguments,
                  QvUiUtil::GetSendLogsStatus(missing == 0 ? nullptr : &out.percent, missing == 1 ? nullptr : &out.done,
                                              missing == 2 ? nullptr : &out.total,
                                              missing == 3 ? nullptr : &out.errorCode));
        EXPECT_EQ(missing == 3 ? 0x0badf00d : kSendLogsBadArgumentsErrorCode, out.errorCode);
        out.errorCode = 0x0badf00d;
        EXPECT_TRUE(out.Untouched());
    }
    EXPECT_EQ(kSendLogsRunStatusBadArguments, QvUiUtil::GetSendLogsStatus(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
}

}  // namespace
