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
#include "log/QvLogTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvSystem.h"
#include "system/QvSystemTestHooks.h"

namespace {

const uint64_t kEpochDifferenceMillis = 11644473600000ULL;
const int64_t kMinuteMillis = 60000;

// Milliseconds since 1970 of a UTC calendar time (proleptic Gregorian calendar).
int64_t UtcMillis(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    int64_t days = era * 146097 + dayOfEra - 719468;
    return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000;
}

void SetClock(int64_t millis) { QvPlatformTest::SetFakeFileTime((uint64_t(millis) + kEpochDifferenceMillis) * 10000); }

std::string TwoDigits(int day) {
    char text[16];
    snprintf(text, sizeof text, "%02d", day);
    return text;
}

void PutEnv(const std::string& name, const std::string& value) {
    static std::list<std::string> entries;  // putenv keeps the pointer it is given
    entries.push_back(name + "=" + value);
    putenv(&entries.back()[0]);
}

// The fixed-width front of every line: time stamp, process id, " - ".
std::string LinePrefix(const char* stamp) {
    char text[64];
    snprintf(text, sizeof text, "%s %10d - ", stamp, int(QvPlatform::GetCurrentProcessId()));
    return text;
}

class QvLogWriter : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvLogTest::ForgetLastCleanupTime();
        // SetLogDirectory asks for the data directory. On POSIX the known folders behind
        // it come from these variables; point them here so nothing is made outside.
        PutEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles"));
        PutEnv("QV_COMMON_APPDATA", temp.Join("AppData"));
        QvSystemTest::ResetDirectoryCaches();
        SetClock(UtcMillis(2024, 3, 5, 8, 9, 10) + 250);
        logDir = temp.Join("qvlogs\\qvbuitray");
        SetLogDirectory(logDir.c_str());
    }
    void TearDown() override {
        SetLogDirectory(nullptr);
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    std::string DayFile(int day, const char* extension = ".log") const {
        return logDir + "\\qvbuitray" + TwoDigits(day) + extension;
    }
    std::string ReadDay(int day) const {
        std::string content;
        QvTestFs::ReadFile(DayFile(day), &content);
        return content;
    }
    // Creates the .log and .zip files of the given days.
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
            bool zip = QvTestFs::Exists(DayFile(day, ".zip"));
            EXPECT_EQ(log, zip) << "day " << day << " lost only one of its files";
            if (log)
                days.push_back(day);
        }
        return days;
    }

    std::string logDir;
};

}  // namespace

TEST_F(QvLogWriter, WritesStampProcessIdAndMessageByteForByte) {
    WriteLogText("first");
    WriteLogText("ends with a line feed\n");
    WriteLogText("");
    WriteLogText(nullptr);
    QvString tabbed("a\tb");
    WriteLogLine(&tabbed);
    WriteLogLine(nullptr);  // writes nothing

    std::string prefix = LinePrefix("2024-03-05 08:09:10");
    EXPECT_EQ(prefix + "first\n" + prefix + "ends with a line feed\n" + prefix + "\n" + prefix + "\n" +
                  prefix + "a\tb\n",
              ReadDay(5));
}

TEST_F(QvLogWriter, ChoosesTheFileByTheUtcDayOfMonth) {
    struct Case {
        int64_t millis;
        int day;
    } cases[] = {
        // In this order no cleanup removes an earlier case's file.
        {UtcMillis(2024, 2, 29, 12), 29},
        {UtcMillis(2024, 3, 12, 13), 12},
        {UtcMillis(2024, 3, 4, 23, 59, 59) + 999, 4},  // 14 hours east it is already the 5th
        {UtcMillis(2024, 3, 5), 5},
    };
    static char zone[] = "TZ=XYZ-14";
    putenv(zone);
    tzset();
    for (const Case& c : cases) {
        SetClock(c.millis);
        WriteLogText("x");
    }
    for (int day = 1; day <= 31; ++day) {
        size_t expectedLines = (day == 12 || day == 4 || day == 5 || day == 29) ? 1 : 0;
        std::string content = ReadDay(day);
        EXPECT_EQ(expectedLines * (LinePrefix("2024-03-05 00:00:00").size() + 2), content.size())
            << "day " << day << ": " << content;
    }
}

TEST_F(QvLogWriter, NamesTheDayFileAfterTheDirectory) {
    struct Case {
        std::string directory;
        int day;
        std::string path;
    } cases[] = {
        {"qvlogs\\qvbuitray", 7, "qvlogs\\qvbuitray\\qvbuitray07.log"},
        {"qvlogs\\qvbuitray\\", 12, "qvlogs\\qvbuitray\\qvbuitray12.log"},
        {"x", 0, "x\\x00.log"},
        {"a\\b\\c", 31, "a\\b\\c\\c31.log"},
    };
    for (const Case& c : cases) {
        SetLogDirectory(temp.Join(c.directory).c_str());
        QvString path;
        GetLogFilePath(c.day, &path);
        EXPECT_EQ(temp.Join(c.path), path.GetText());
        EXPECT_TRUE(QvTestFs::IsDirectory(temp.Join(c.directory))) << c.directory;
    }
}

TEST_F(QvLogWriter, WritesNothingWithoutADirectory) {
    SetLogDirectory(nullptr);
    WriteLogText("lost");
    LogMessage(QV_LOG_LEVEL_ERROR, "a.cpp", 1, "void f()", "lost");
    QvString path("untouched");
    GetLogFilePath(5, &path);
    GetLogFilePath(5, nullptr);
    EXPECT_STREQ("untouched", path.GetText());
    EXPECT_FALSE(QvTestFs::Exists(DayFile(5)));
}

TEST_F(QvLogWriter, FirstLineDeletesTheComingDaysThenWaitsTenMinutes) {
    int64_t start = UtcMillis(2024, 3, 10, 9);
    SetClock(start);
    MakeDayFiles({1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 30, 31});
    WriteLogText("first");
    EXPECT_EQ((std::vector<int>{1, 9, 10, 11, 17, 30, 31}), SurvivingDays());

    MakeDayFiles({12, 16});
    SetClock(start + 2 * kMinuteMillis);
    WriteLogText("two minutes later");
    SetClock(start + 10 * kMinuteMillis);
    WriteLogText("exactly ten minutes later");
    EXPECT_EQ((std::vector<int>{1, 9, 10, 11, 12, 16, 17, 30, 31}), SurvivingDays());

    SetClock(start + 11 * kMinuteMillis);
    WriteLogText("eleven minutes later");
    EXPECT_EQ((std::vector<int>{1, 9, 10, 11, 17, 30, 31}), SurvivingDays());

    // A clock set back by more than ten minutes also counts as time for a cleanup.
    MakeDayFiles({13});
    SetClock(start + 5 * kMinuteMillis);
    WriteLogText("set back six minutes");
    EXPECT_EQ((std::vector<int>{1, 9, 10, 11, 13, 17, 30, 31}), SurvivingDays());
    SetClock(start - 1 * kMinuteMillis);
    WriteLogText("set back twelve minutes");
    EXPECT_EQ((std::vector<int>{1, 9, 10, 11, 17, 30, 31}), SurvivingDays());
    EXPECT_EQ(0u, ReadDay(10).find("old\n"));  // today's file is appended to, never replaced
}

TEST_F(QvLogWriter, FromThe26thAlsoDeletesTheFirstDaysOfNextMonth) {
    struct Case {
        int today;
        std::vector<int> surviving;
    } cases[] = {
        {25, {0, 1, 2, 3, 4, 5, 6, 25, 26}},
        {26, {6, 25, 26, 27}},
        {28, {6, 25, 26, 27, 28, 29}},
        {31, {6, 25, 26, 27, 28, 29, 30, 31}},
    };
    for (const Case& c : cases) {
        QvLogTest::ForgetLastCleanupTime();
        MakeDayFiles({0, 1, 2, 3, 4, 5, 6, 25, 26, 27, 28, 29, 30, 31});
        SetClock(UtcMillis(2024, 1, c.today, 12));
        WriteLogText("x");
        EXPECT_EQ(c.surviving, SurvivingDays()) << "today " << c.today;
    }
}

TEST_F(QvLogWriter, CreatesTheDirectoryTreeOnSet) {
    std::string nested = temp.Join("one\\two\\three");
    SetLogDirectory((nested + "\\").c_str());
    EXPECT_TRUE(QvTestFs::IsDirectory(nested));
    WriteLogText("x");
    EXPECT_TRUE(QvTestFs::Exists(nested + "\\three05.log"));
}

TEST_F(QvLogWriter, RefusesADirectoryInsideAMissingDataDirectory) {
    QvString dataDirText;
    QvSystem::GetDataDir(&dataDirText);
    std::string dataDir = dataDirText.GetText();
    ASSERT_GT(dataDir.size(), 1u);
    if (QvTestFs::Exists(dataDir))
        GTEST_SKIP() << "the data directory of this machine exists: " << dataDir;

    // The data directory's own name in the other case still counts as inside it.
    std::string otherCase = dataDir;
    size_t nameStart = otherCase.find_last_of('\\', otherCase.size() - 2) + 1;
    for (size_t i = nameStart; i < otherCase.size(); ++i)
        otherCase[i] = char(isupper((unsigned char)otherCase[i]) ? tolower(otherCase[i]) : toupper(otherCase[i]));
    for (const std::string& inside : {dataDir + "qvlogs\\qvbuitray", otherCase + "qvlogs"}) {
        SetLogDirectory(inside.c_str());
        WriteLogText("lost");
        QvString path("untouched");
        GetLogFilePath(5, &path);
        EXPECT_STREQ("untouched", path.GetText()) << inside;
        EXPECT_FALSE(QvTestFs::Exists(inside)) << inside;
    }
    EXPECT_FALSE(QvTestFs::Exists(dataDir));

    // Once the data directory exists the same path is taken. Only where the data
    // directory lies in this test's folder: elsewhere it belongs to the machine.
    if (dataDir.compare(0, temp.GetPath().size(), temp.GetPath()) != 0)
        return;
    ASSERT_TRUE(QvTestFs::Exists(temp.MakeDir(dataDir.substr(temp.GetPath().size() + 1))));
    SetLogDirectory((dataDir + "qvlogs\\qvbuitray").c_str());
    WriteLogText("kept");
    EXPECT_TRUE(QvTestFs::Exists(dataDir + "qvlogs\\qvbuitray\\qvbuitray05.log"));
}

TEST(QvLog, ShortenFunctionNameKeepsTheQualifiedName) {
    struct Case {
        const char* signature;
        const char* shortName;
    } cases[] = {
        {"QvSendLogsRunStatus __cdecl QvUiUtil::GetSendLogsStatus(int,int,int,int,int)",
         "QvUiUtil::GetSendLogsStatus()"},
        {"void QvFile::RemoveFile(const char*)", "QvFile::RemoveFile()"},
        {"int main()", "main()"},
        {"Plain", "Plain()"},
        {"", "()"},
        {nullptr, "()"},
        {"void (*Lookup(int))(char)", "(*Lookup(int))()"},  // the last '(' decides
        {"std::string Ns::Join(const std::string &)", "Ns::Join()"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.shortName, ShortenFunctionName(c.signature).GetText()) << c.signature;
}

namespace QvLogSample {
int ReportError(int code) {
    QV_LOG_MESSAGE(QV_LOG_LEVEL_ERROR, "code %d, %s", code, "failed");
    return __LINE__ - 1;
}
}  // namespace QvLogSample

TEST_F(QvLogWriter, LogMessageWritesSourceFunctionAndLevelTag) {
    struct Case {
        int level;
        const char* text;
    } cases[] = {
        {-3, "a.cpp:12 [Ns::Fn()] ERROR:\tvalue 42"},
        {-2, "a.cpp:12 [Ns::Fn()] WARNING:\tvalue 42"},
        {-1, "a.cpp:12 [Ns::Fn()] NOTE:\tvalue 42"},
        {0, "a.cpp:12 [Ns::Fn()]:\tvalue 42"},
        {5, "a.cpp:12 [Ns::Fn()]:\tvalue 42"},
    };
    std::string expected;
    std::string prefix = LinePrefix("2024-03-05 08:09:10");
    for (const Case& c : cases) {
        LogMessage(c.level, "a.cpp", 12, "bool __cdecl Ns::Fn(int)", "value %d", 42);
        expected += prefix + c.text + "\n";
    }
    int line = QvLogSample::ReportError(7);
    expected += prefix + "QvLogTest.cpp:" + std::to_string(line) + " [QvLogSample::ReportError()] ERROR:\tcode 7, failed\n";
    EXPECT_EQ(expected, ReadDay(5));
}

TEST_F(QvLogWriter, LinesFromThreadsNeverInterleave) {
    const int kThreads = 4;
    const int kLinesEach = 50;
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

    std::string content = ReadDay(5);
    std::string prefix = LinePrefix("2024-03-05 08:09:10");
    size_t lineSize = prefix.size() + 200 + 1;
    ASSERT_EQ(lineSize * kThreads * kLinesEach, content.size());
    for (size_t at = 0; at < content.size(); at += lineSize) {
        std::string line = content.substr(at, lineSize);
        char fill = line[prefix.size()];
        EXPECT_EQ(prefix + std::string(200, fill) + "\n", line) << "line at byte " << at;
    }
}
