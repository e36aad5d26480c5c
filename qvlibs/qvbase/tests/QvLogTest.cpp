// The log writer: line layout, the day's file, the cleanup of the coming days' files and
// its ten-minute pacing, switching logging off, and the LogMessage layout. Every case
// logs into a fresh temporary folder with the fake clock standing at a chosen UTC time.
#include "qvbase/QvLog.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvSystem.h"
#include "QvTestPlatform.h"

namespace {

const int64_t kMinute = 60000, kHour = 60 * kMinute, kDay = 24 * kHour;
const int64_t kJan1 = 1704067200000LL;  // 2024-01-01 00:00:00 UTC
const int64_t kMar1 = kJan1 + 60 * kDay;

void SetClock(int64_t millis) { QvPlatformTest::SetFakeFileTime(uint64_t(millis + 11644473600000LL) * 10000); }

void PutEnv(const std::string& name, const std::string& value) {
    static std::list<std::string> entries;  // putenv keeps the pointer it is given
    entries.push_back(name + "=" + value);
    putenv(&entries.back()[0]);
}

// The fixed-width front of every line written at 2024-03-05 08:09:10.
std::string Prefix() {
    char text[64];
    snprintf(text, sizeof text, "2024-03-05 08:09:10 %10d - ", int(QvPlatform::GetCurrentProcessId()));
    return text;
}

class QvLogWriter : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvLogTest::ForgetLastCleanupTime();
        // The data directory behind SetLogDirectory comes on POSIX from these variables;
        // point them here so nothing is made outside.
        PutEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles"));
        PutEnv("QV_COMMON_APPDATA", temp.Join("AppData"));
        QvSystemTest::ResetDirectoryCaches();
        SetClock(kMar1 + 4 * kDay + 8 * kHour + 9 * kMinute + 10250);
        logDir = temp.Join("qvlogs\\qvbuitray");
        SetLogDirectory(logDir.c_str());
    }
    void TearDown() override {
        SetLogDirectory(nullptr);
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    std::string DayFile(int day, const char* extension = ".log") const {
        char name[32];
        snprintf(name, sizeof name, "\\qvbuitray%02d%s", day, extension);
        return logDir + name;
    }
    std::string ReadDay(int day) const {
        std::string content;
        QvTestFs::ReadFile(DayFile(day), &content);
        return content;
    }
    void MakeDayFiles(const std::vector<int>& days) {
        for (int day : days) {
            ASSERT_TRUE(QvTestFs::WriteFile(DayFile(day), "old\n"));
            ASSERT_TRUE(QvTestFs::WriteFile(DayFile(day, ".zip"), "PK"));
        }
    }
    // Days 0..31 whose .log and .zip files both still exist; a lone survivor is reported.
    std::vector<int> SurvivingDays() {
        std::vector<int> days;
        for (int day = 0; day <= 31; ++day) {
            bool log = QvTestFs::Exists(DayFile(day));
            EXPECT_EQ(log, QvTestFs::Exists(DayFile(day, ".zip"))) << "day " << day;
            if (log)
                days.push_back(day);
        }
        return days;
    }

    std::string logDir;
};

}  // namespace

namespace QvLogSample {
int ReportError(int code) {
    QV_LOG_MESSAGE(QV_LOG_LEVEL_ERROR, "code %d, %s", code, "failed");
    return __LINE__ - 1;
}
}  // namespace QvLogSample

TEST_F(QvLogWriter, WritesStampProcessIdAndMessageByteForByte) {
    WriteLogText("first");
    WriteLogText("ends with a line feed\n");
    WriteLogText("");
    WriteLogText(nullptr);
    QvString tabbed("a\tb");
    WriteLogLine(&tabbed);
    WriteLogLine(nullptr);  // writes nothing
    std::string p = Prefix(), expected = p + "first\n" + p + "ends with a line feed\n" + p + "\n" + p + "\n" + p + "a\tb\n";
    for (int level : {-3, -2, -1, 0, 5}) {
        LogMessage(level, "a.cpp", 12, "bool __cdecl Ns::Fn(int)", "value %d", 42);
        const char* tag = level == -3 ? " ERROR" : level == -2 ? " WARNING" : level == -1 ? " NOTE" : "";
        expected += p + "a.cpp:12 [Ns::Fn()]" + tag + ":\tvalue 42\n";
    }
    int line = QvLogSample::ReportError(7);
    expected += p + "QvLogTest.cpp:" + std::to_string(line) + " [QvLogSample::ReportError()] ERROR:\tcode 7, failed\n";
    EXPECT_EQ(expected, ReadDay(5));
}

TEST_F(QvLogWriter, ChoosesTheFileByTheUtcDayOfMonth) {
    // 14 hours east of UTC the last millisecond of the 4th is already the 5th.
    static char zone[] = "TZ=XYZ-14";
    putenv(zone);
    tzset();
    const struct {
        int64_t millis;
        int day;
    } cases[] = {{kMar1 - kDay / 2, 29}, {kMar1 + 4 * kDay - 1, 4}, {kMar1 + 4 * kDay, 5}};
    for (const auto& c : cases) {
        SetClock(c.millis);
        WriteLogText("x");
        EXPECT_EQ(Prefix().size() + 2, ReadDay(c.day).size()) << "day " << c.day;
    }
}

TEST_F(QvLogWriter, NamesTheDayFileAfterTheDirectoryItCreates) {
    const struct {
        const char* directory;
        int day;
        const char* path;
    } cases[] = {
        {"qvlogs\\qvbuitray", 7, "qvlogs\\qvbuitray\\qvbuitray07.log"},
        {"one\\two\\three\\", 12, "one\\two\\three\\three12.log"},
        {"x", 0, "x\\x00.log"},
        {"a\\b\\c", 31, "a\\b\\c\\c31.log"},
    };
    for (const auto& c : cases) {
        SetLogDirectory(temp.Join(c.directory).c_str());
        EXPECT_TRUE(QvTestFs::IsDirectory(temp.Join(c.directory))) << c.directory;
        QvString path;
        GetLogFilePath(c.day, &path);
        EXPECT_EQ(temp.Join(c.path), path.GetText());
    }
}

TEST_F(QvLogWriter, FirstLineDeletesTheComingDaysThenWaitsTenMinutes) {
    const std::vector<int> kept = {1, 9, 10, 11, 17, 30, 31}, dirty = {1, 9, 10, 11, 12, 16, 17, 30, 31};
    int64_t start = kMar1 + 9 * kDay + 9 * kHour;
    SetClock(start);
    MakeDayFiles({1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 30, 31});
    WriteLogText("first");
    EXPECT_EQ(kept, SurvivingDays());
    EXPECT_EQ(0u, ReadDay(10).find("old\n"));  // today's file is appended to, never replaced

    // Minutes after the last cleanup: none within ten minutes either way, one beyond.
    const struct {
        int minutes;
        bool cleans;
    } steps[] = {{2, false}, {10, false}, {11, true}, {-6, false}, {-12, true}};
    for (const auto& step : steps) {
        MakeDayFiles({12, 16});
        SetClock(start + step.minutes * kMinute);
        WriteLogText("x");
        EXPECT_EQ(step.cleans ? kept : dirty, SurvivingDays()) << "at minute " << step.minutes;
        if (step.cleans)
            start += step.minutes * kMinute;
    }
}

TEST_F(QvLogWriter, FromThe26thAlsoDeletesTheFirstDaysOfNextMonth) {
    const struct {
        int today;
        std::vector<int> surviving;
    } cases[] = {
        {25, {0, 1, 2, 3, 4, 5, 6, 25, 26}},
        {26, {6, 25, 26, 27}},
        {28, {6, 25, 26, 27, 28, 29}},
        {31, {6, 25, 26, 27, 28, 29, 30, 31}},
    };
    for (const auto& c : cases) {
        QvLogTest::ForgetLastCleanupTime();
        MakeDayFiles({0, 1, 2, 3, 4, 5, 6, 25, 26, 27, 28, 29, 30, 31});
        SetClock(kJan1 + (c.today - 1) * kDay + 12 * kHour);
        WriteLogText("x");
        EXPECT_EQ(c.surviving, SurvivingDays()) << "today " << c.today;
    }
}

TEST_F(QvLogWriter, StaysOffWithoutADirectoryOrInsideAMissingDataDirectory) {
    QvString dataDirText;
    QvSystem::GetDataDir(&dataDirText);
    std::string dataDir = dataDirText.GetText();
    ASSERT_GT(dataDir.size(), 1u);
    // The data directory's own name in the other case still counts as inside it.
    std::string otherCase = dataDir;
    for (size_t i = otherCase.find_last_of('\\', otherCase.size() - 2) + 1; i < otherCase.size(); ++i)
        otherCase[i] = char(isupper((unsigned char)otherCase[i]) ? tolower(otherCase[i]) : toupper(otherCase[i]));
    bool dataDirExists = QvTestFs::Exists(dataDir);
    const std::string inside[] = {"", dataDir + "qvlogs\\qvbuitray", otherCase + "qvlogs"};
    for (int i = 0; i < (dataDirExists ? 1 : 3); ++i) {
        SetLogDirectory(i == 0 ? nullptr : inside[i].c_str());
        WriteLogText("lost");
        LogMessage(QV_LOG_LEVEL_ERROR, "a.cpp", 1, "void f()", "lost");
        QvString path("untouched");
        GetLogFilePath(5, &path);
        EXPECT_STREQ("untouched", path.GetText()) << inside[i];
    }
    GetLogFilePath(5, nullptr);
    EXPECT_FALSE(QvTestFs::Exists(DayFile(5)));
    if (dataDirExists)
        GTEST_SKIP() << "the data directory of this machine exists: " << dataDir;
    EXPECT_FALSE(QvTestFs::Exists(dataDir));

    // Once the data directory exists the same path is taken (only where it lies in this
    // test's folder: elsewhere it belongs to the machine).
    if (dataDir.compare(0, temp.GetPath().size(), temp.GetPath()) != 0)
        return;
    temp.MakeDir(dataDir.substr(temp.GetPath().size() + 1));
    SetLogDirectory((dataDir + "qvlogs\\qvbuitray").c_str());
    WriteLogText("kept");
    EXPECT_TRUE(QvTestFs::Exists(dataDir + "qvlogs\\qvbuitray\\qvbuitray05.log"));
}

TEST(QvLog, ShortenFunctionNameKeepsTheQualifiedName) {
    const char* cases[][2] = {
        {"QvSendLogsRunStatus __cdecl QvUiUtil::GetSendLogsStatus(int,int,int,int,int)",
         "QvUiUtil::GetSendLogsStatus()"},
        {"int main()", "main()"},
        {"Plain", "Plain()"},
        {nullptr, "()"},
        {"void (*Lookup(int))(char)", "(*Lookup(int))()"},  // the last '(' decides
        {"std::string Ns::Join(const std::string &)", "Ns::Join()"},
    };
    for (auto& c : cases)
        EXPECT_STREQ(c[1], ShortenFunctionName(c[0]).GetText()) << (c[0] ? c[0] : "null");
}

TEST_F(QvLogWriter, LinesFromThreadsNeverInterleave) {
    const int kThreads = 4, kLinesEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::string message(200, char('a' + t));
            for (int i = 0; i < kLinesEach; ++i)
                WriteLogText(message.c_str());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::string content = ReadDay(5), prefix = Prefix();
    size_t lineSize = prefix.size() + 200 + 1;
    ASSERT_EQ(lineSize * kThreads * kLinesEach, content.size());
    for (size_t at = 0; at < content.size(); at += lineSize) {
        std::string line = content.substr(at, lineSize);
        EXPECT_EQ(prefix + std::string(200, line[prefix.size()]) + "\n", line) << "at byte " << at;
    }
}
