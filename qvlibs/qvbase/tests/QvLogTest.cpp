// The log writer: line layout, the day's file, the cleanup of the coming days' files and its pacing.
#include "qvbase/QvLog.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "QvTestInstallation.h"
#include "QvTestLog.h"
#include "platform/QvPlatformClock.h"
#include "QvTestPlatform.h"

namespace {

const int64_t kMinute = 60000, kHour = 60 * kMinute, kDay = 24 * kHour;
const int64_t kJan1 = 1704067200000LL;  // 2024-01-01 00:00:00 UTC
const int64_t kMar1 = kJan1 + 60 * kDay;

void SetClock(int64_t millis) { QvPlatformTest::SetFakeFileTime(uint64_t(millis + 11644473600000LL) * 10000); }

// The front of every line written at 2024-03-05 08:09:10 by the process `id` (by default this one).
std::string Prefix(int id = int(QvPlatform::GetCurrentProcessId())) {
    char text[64];
    snprintf(text, sizeof text, "2024-03-05 08:09:10 %10d - ", id);
    return text;
}

class QvLogWriter : public QvTestInstallation {
protected:
    void SetUp() override {
        QvTestInstallation::SetUp();
        SetClock(kMar1 + 4 * kDay + 8 * kHour + 9 * kMinute + 10250);
        SetLogDirectory(logDir.c_str());
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
        for (int day : days)
            ASSERT_TRUE(QvTestFs::WriteFile(DayFile(day), "old\n") && QvTestFs::WriteFile(DayFile(day, ".zip"), "PK"));
    }
    // Days 0..31 whose .log and .zip files both still exist; a lone survivor is reported.
    std::vector<int> SurvivingDays() {
        std::vector<int> days;
        for (int day = 0; day <= 31; ++day) {
            EXPECT_EQ(QvTestFs::Exists(DayFile(day)), QvTestFs::Exists(DayFile(day, ".zip"))) << "day " << day;
            if (QvTestFs::Exists(DayFile(day)))
                days.push_back(day);
        }
        return days;
    }
    std::string logDir = temp.Join("qvlogs\\qvbuitray");
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
    const std::string p = Prefix();
    std::string expected = p + "first\n" + p + "ends with a line feed\n" + p + "\n" + p + "\n" + p + "a\tb\n";
    for (int level : {-3, -2, -1, 0, 5}) {
        LogMessage(level, "a.cpp", 12, "bool __cdecl Ns::Fn(int)", "value %d", 42);
        const char* tag = level == -3 ? " ERROR" : level == -2 ? " WARNING" : level == -1 ? " NOTE" : "";
        expected += p + "a.cpp:12 [Ns::Fn()]" + tag + ":\tvalue 42\n";
    }
    EXPECT_EQ(expected, ReadDay(5));
}

#ifndef _WIN32
// POSIX only: Windows processes are not forked. The id the writer remembers is the
// parent's; a forked child must write its own.
TEST_F(QvLogWriter, AForkedChildWritesItsOwnProcessId) {
    WriteLogText("parent");
    const pid_t child = fork();
    if (child == 0) {
        WriteLogText("child");
        _exit(0);
    }
    int status = -1;
    ASSERT_TRUE(child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status));
    WriteLogText("parent");
    EXPECT_EQ(Prefix() + "parent\n" + Prefix(int(child)) + "child\n" + Prefix() + "parent\n", ReadDay(5));
}
#endif

TEST_F(QvLogWriter, ChoosesTheFileByTheUtcDayOfMonth) {
    PutEnv("TZ", "XYZ-14");  // 14 hours east of UTC the last millisecond of the 4th is already the 5th
    tzset();
    for (const auto& c : {std::make_pair(kMar1 - kDay / 2, 29), {kMar1 + 4 * kDay - 1, 4}, {kMar1 + 4 * kDay, 5}}) {
        SetClock(c.first);
        WriteLogText("x");
        EXPECT_EQ(Prefix().size() + 2, ReadDay(c.second).size()) << "day " << c.second;
    }
}

TEST_F(QvLogWriter, NamesTheDayFileAfterTheDirectoryItCreatesAndStaysOffInAMissingDataDirectory) {
    WriteInstallConfig(temp.Join("Gone"));
    // No path: logging is off. The data directory's name in another case still counts as inside it.
    const struct { const char *directory; int day; const char* path; } cases[] = {
        {"qvlogs\\qvbuitray", 0, "qvlogs\\qvbuitray\\qvbuitray00.log"},
        {"one\\two\\three\\", 31, "one\\two\\three\\three31.log"}, {nullptr, 5, nullptr},
        {"Gone\\qvlogs\\qvbuitray", 5, nullptr}, {"gONE\\qvlogs", 5, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory ? c.directory : "(null)");
        SetLogDirectory(c.directory ? temp.Join(c.directory).c_str() : nullptr);
        EXPECT_EQ(c.path != nullptr, c.directory && QvTestFs::IsDirectory(temp.Join(c.directory)));
        if (!c.path) {
            WriteLogText("lost");
            LogMessage(QV_LOG_LEVEL_ERROR, "a.cpp", 1, "void f()", "lost");
        }
        QvString path("untouched");
        GetLogFilePath(c.day, &path);
        EXPECT_EQ(c.path ? temp.Join(c.path) : "untouched", path.GetText());
    }
    GetLogFilePath(5, nullptr);
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("one\\two\\three\\three05.log")));
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("Gone")) || QvTestFs::Exists(temp.Join("gONE")));
    // Once the data directory exists the same path is taken.
    temp.MakeDir("Gone");
    SetLogDirectory(temp.Join("Gone\\qvlogs\\qvbuitray").c_str());
    WriteLogText("kept");
    EXPECT_TRUE(QvTestFs::Exists(temp.Join("Gone\\qvlogs\\qvbuitray\\qvbuitray05.log")));
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
    for (const auto& step : {std::make_pair(2, false), {10, false}, {11, true}, {-6, false}, {-12, true}}) {
        MakeDayFiles({12, 16});
        SetClock(start + step.first * kMinute);
        WriteLogText("x");
        EXPECT_EQ(step.second ? kept : dirty, SurvivingDays()) << "at minute " << step.first;
        start += step.second ? step.first * kMinute : 0;
    }
}

TEST_F(QvLogWriter, LinesFromThreadsNeverInterleave) {
    std::vector<std::thread> threads;
    std::map<std::string, int> expected, counts;
    for (char letter : {'a', 'b', 'c', 'd'}) {
        expected[std::string(200, letter)] = 50;
        threads.emplace_back([letter] {
            for (int i = 0; i < 50; ++i)
                WriteLogText(std::string(200, letter).c_str());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::string content = ReadDay(5);
    for (const std::string& message : QvTestLog::Messages(content))
        ++counts[message];
    EXPECT_EQ(expected, counts);
    EXPECT_EQ(4 * 50 * (Prefix().size() + 200 + 1), content.size());
}
