// Files written by other programs at their worst (empty, cut off mid-element, binary, not UTF-8,
// swapped for a symbolic link): every reader gives its documented answer. While another process
// rewrites a status file, every answer is the old value or the new one. A settings file far
// beyond the limits is read within them; a log directory taken away loses lines quietly.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestCommon.h"
#include "QvTestInstallation.h"
#include "QvTestSystem.h"
#include "QvTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "files/QvPlatformFiles.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvUiUtil.h"
#include "QvTestPlatform.h"

namespace {

enum Hostile { Intact, Empty, Truncated, Binary, Symlink };
const char* const kHostileNames[] = {"intact", "empty", "truncated mid-element", "binary, not UTF-8",
                                     "symbolic link swapped in"};

// What a reader answered: the first content, the second, its documented default for a file it
// never found whole (a miss), or something else (torn).
enum class Answer { First, Second, Miss, Torn };

// Reads 20,000 times or for a second (waits counted, not waited) and returns how often each
// answer came. Faults: a torn answer, a miss before the full round of missWaits retries, and a
// whole-file answer after more than hitMaxWaits.
std::vector<long long> RunReader(const char* name, std::function<Answer()> read, long long hitMaxWaits,
                                 long long missWaits) {
    std::vector<long long> answers(4);
    long long calls = 0, reported = 0;
    for (auto start = std::chrono::steady_clock::now();
         calls < 20000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(1); ++calls) {
        QvPlatformTest::ResetSleepCounters();
        Answer answer = read();
        long long waits = QvPlatformTest::GetSleepCount();
        ++answers[int(answer)];
        bool fault = answer == Answer::Torn || (waits != missWaits && (answer == Answer::Miss || waits > hitMaxWaits));
        if (fault && ++reported <= 5)
            ADD_FAILURE() << name << ", call " << calls + 1 << ": answer " << int(answer) << ", waits " << waits;
    }
    std::printf("[ rewrite  ] %s: %lld calls: %lld first, %lld second, %lld missed, %lld torn\n", name, calls,
                answers[0], answers[1], answers[2], answers[3]);
    return answers;
}

class QvHostileFiles : public QvTestInstallation {
protected:
    void TearDown() override {
        QvTestInstallation::TearDown();
        if (!memoryRoot.empty())
            QvTestFs::RemoveTree(memoryRoot);
    }
    std::string InterfacePath() const { return temp.Join("install\\qvbui_interface.xml"); }

    // Plants each form of intact at path in turn (the truncated one ends before cut) and expects
    // read to answer expected[form]. The link points at an intact file: it must never be followed.
    // Under Wine a link to a file is no reparse point the library could see: left out there.
    void ForEachKind(const std::string& path, const std::string& intact, const std::string& cut,
                     const std::vector<std::string>& expected, const std::function<std::string()>& read) {
        temp.MakeDir("elsewhere");
        std::string binary, target = temp.MakeFile("elsewhere\\target", intact);
        for (int b = 0; b < 1024; ++b)
            binary += char(b ^ ((b >> 8) * 37));
        const std::string contents[] = {intact, "", intact.substr(0, intact.find(cut)), binary};
        for (int kind = Intact; kind <= Symlink; ++kind) {
            SCOPED_TRACE(kHostileNames[kind]);
            QvTestFs::RemoveTree(path);
            if (kind != Symlink) {
                ASSERT_TRUE(QvTestFs::WriteFile(path, contents[kind]));
            } else if (QvTestFs::IsWine() || !QvTestFs::MakeSymlink(path, target, false)) {
                std::printf("[ note     ] no symbolic link to a file the library could see here; left out\n");
                continue;
            }
            QvPlatformTest::ResetSleepCounters();
            EXPECT_EQ(expected[kind], read());
        }
    }

    // path holds first while QvStatusRewriter, copied into the test's folder and started detached,
    // rewrites it in place (truncate, write) with second and first in turn until the test leaves a
    // stop file; readers runs meanwhile. Its report says "running" after the first rewrite and
    // "rewrites N failures N milliseconds N" at the stop. On POSIX the status files move to memory:
    // on a disk file system truncation waits for the old content's writeback, so the file would be
    // empty nearly all the time, where in memory it is whole about 40 %.
    void WhileAnotherProcessRewrites(std::function<std::string()> path, const std::string& first,
                                     const std::string& second, const std::function<void()>& readers) {
        ASSERT_TRUE(QvTestFs::IsWindows() || !QvTestFs::IsDirectory("/dev/shm") || UseMemory());
        ASSERT_TRUE(QvTestFs::WriteFile(path(), first));
        InitQvUiUtil();
        const std::string folder = temp.MakeDir("writer") + "\\", program = folder + QV_STATUS_REWRITER_FILE_NAME,
                          report = folder + "report";
        QvString commandLine(("\"" + program + "\" \"" + path() + "\" \"" + folder + "first\" \"" + folder +
                              "second\" \"" + folder + "stop\" \"" + report + "\" 60000").c_str());
        std::string said;
        auto reportSays = [&](const char* start) {
            return QvTestSystem::WaitForHandshake(
                [&] { return QvTestFs::ReadFile(report, &said) && said.rfind(start, 0) == 0; });
        };
        ASSERT_TRUE(QvTestFs::WriteFile(folder + "first", second) && QvTestFs::WriteFile(folder + "second", first));
        ASSERT_TRUE(QvTestSystem::CopyProgram(QvTestSystem::GetProgramDir() + "/" + QV_STATUS_REWRITER_FILE_NAME,
                                              program) &&
                    QvSystem::RunCommand(&commandLine) && reportSays(""))
            << "the writer program did not start";
        readers();
        long long rewrites = -1;
        if (QvTestFs::WriteFile(folder + "stop", "") && reportSays("rewrites "))
            std::sscanf(said.c_str(), "rewrites %lld", &rewrites);
        std::replace(said.begin(), said.end(), '\n', ' ');
        std::printf("[ rewrite  ] writer process: %s\n", said.c_str());
        EXPECT_GT(rewrites, 0) << "the writer did not report";
    }

    // Moves the data and temporary directories (and so the status files) to a folder in memory.
    bool UseMemory() {
        memoryRoot = "/dev/shm/qv-rewrite-" + std::to_string(QvPlatform::GetCurrentProcessId());
        dataDir = memoryRoot + "\\data";
        tempDir = memoryRoot + "\\tmp";
        for (const std::string& dir : {memoryRoot, dataDir, dataDir + "\\qvreports", tempDir})
            if (!QvTestFs::MakeDir(dir))
                return false;
        WriteInstallConfig(dataDir);
        for (const char* name : {"TMPDIR", "TMP", "TEMP"})
            QvTestSystem::SetEnv(name, tempDir);
        ForgetModuleState();
        return true;
    }
    std::string memoryRoot;
};

const std::string kInterface = "<qvbui_texts>\n<qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Help\" "
                               "TrayMenuItem_Quit=\"Quit\" />\n</qvbui_texts>\n";

// The whole file's answer, then the one every other form gives.
std::vector<std::string> IntactThen(const std::string& intact, const std::string& others) {
    std::vector<std::string> expected(Symlink + 1, others);
    expected[Intact] = intact;
    return expected;
}

// Each reader on each form of its file: what is whole is taken, the rest defaults. Settings:
// days, login (Latin-1 taken byte for byte), volumes. Host info: hidden, updates enabled, waits
// and milliseconds waited (a file caught short is read 20 times). Send-logs status: anything
// but exactly 32 bytes is no record, after 10 reads.
TEST_F(QvHostileFiles, EachReaderTakesWhatIsWholeAndDefaultsTheRest) {
    const std::string record = SendLogsRecord(2, 5, 10);
    auto settings = [] {
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
        return std::to_string(s.numDaysWarnIfNoBackup) + " " + TextOf(s.qvLogin) + " " +
               std::to_string(s.volumes.GetCount());
    };
    const struct {
        const char* reader;
        std::string path, intact, cut;
        std::vector<std::string> expected;
        std::function<std::string()> read;
    } cases[] = {
        {"settings", settingsPath,
         "<qvinfo numdays_warn_if_no_backup=\"3\" qvlogin=\"alice\" num_backup_threads=\"4\">\n"
         "<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"C:\\\" />\n"
         "<qvvolume qvVolumeGuid=\"vBBBBBBBBBBBBBBBBBBBBBBBBBBB\" mountPointPath=\"D:\\\" />\n</qvinfo>\n",
         "mountPointPath=\"D:", {"3 alice 2", "7 unknown 0", "3 alice 1", "7 unknown 0", "7 unknown 0"}, settings},
        {"settings in Latin-1", settingsPath, "<qvinfo qvlogin=\"Ren\xE9\" />", "\"Ren",
         IntactThen("7 Ren\xE9 0", "7 unknown 0"), settings},
        {"interface text", InterfacePath(), kInterface, "Quit\"", IntactThen("Help", "ERR_TrayMenuItem_Help"),
         [] {
             QvUiUtilTest::ResetModule();  // the file is loaded once per process
             return LookUp("TrayMenuItem_Help");
         }},
        {"host info flags", HostInfoPath(),
         "<qvdc_synchostinfo hide_icon=\"TRUE\" enable_check_for_updates=\"false\" />\n", "lse\"",
         {"1 0 0 0", "0 1 19 5700", "1 1 0 0", "0 1 0 0", "0 1 19 5700"},
         [] {
             std::string flags = std::to_string(IsHideIconSet()) + " ";
             flags += std::to_string(IsCheckForUpdatesEnabled()) + " ";  // in this order: both may wait
             return flags + std::to_string(QvPlatformTest::GetSleepCount()) + " " +
                    std::to_string(QvPlatformTest::GetSleptMillis());
         }},
        {"send-logs status", SendLogsPath(), record, record.substr(31),
         IntactThen("2 55% 5/10 error 0, waits 0", "0 999% 999/999 error 999, waits 10"), [] {
             std::string status = SendLogsStatus(999);  // read before the waits are counted
             return status + ", waits " + std::to_string(QvPlatformTest::GetSleepCount());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reader);
        QvUiUtilTest::ResetModule();
        InitQvUiUtil();
        ForEachKind(c.path, c.intact, c.cut, c.expected, c.read);
    }
}

// Both versions say the same in different bytes (updates disabled, icon hidden): "enabled" or
// "shown" is the default for a file not found whole. The hide flag reads once, without retry.
TEST_F(QvHostileFiles, FlagReadersSeeTheOldOrTheNewFileWhileAnotherProcessRewritesIt) {
    WhileAnotherProcessRewrites(
        [this] { return HostInfoPath(); },
        "<qvdc_synchostinfo enable_check_for_updates=\"false\" hide_icon=\"true\" padding=\"1\" />\n",
        "<qvdc_synchostinfo enable_check_for_updates=\"FALSE\" hide_icon=\"TRUE\" padding=\"2\" />\n", [this] {
            std::vector<long long> updates = RunReader(
                "update flag", [] { return IsCheckForUpdatesEnabled() ? Answer::Miss : Answer::First; }, 19, 19);
            RunReader("hide flag", [] { return IsHideIconSet() ? Answer::First : Answer::Miss; }, 0, 0);
            EXPECT_TRUE(memoryRoot.empty() || updates[0] > 0) << "no whole file met: the test proved nothing";
        });
}

// Every status read is one of the two whole records with its own amounts and percentage;
// "no job" only after all 10 waits, with the outputs untouched.
TEST_F(QvHostileFiles, SendLogsStatusIsAWholeOldOrNewRecordWhileAnotherProcessRewritesIt) {
    WhileAnotherProcessRewrites([this] { return SendLogsPath(); }, SendLogsRecord(1, 4, 10), SendLogsRecord(2, 7, 10),
                                [this] {
        std::vector<long long> status = RunReader("send-logs record", [] {
            std::string got = SendLogsStatus(999);
            return got == "1 4% 4/10 error 0"    ? Answer::First
                   : got == "2 73% 7/10 error 0" ? Answer::Second
                   : got == "0 999% 999/999 error 999" ? Answer::Miss : Answer::Torn;
        }, 9, 10);
        EXPECT_TRUE(memoryRoot.empty() || (status[0] > 0 && status[1] > 0)) << "a record was never met whole";
    });
}

// About 10 MB: 200 file sets (150 are read) and 20000 watched folders in two backup blocks (9999
// records are kept). Every folder is excluded ("none") and names the 150th set, except the last
// kept one, which names the 151st: a set never read.
TEST_F(QvHostileFiles, SettingsReadOfATenMegabyteFileKeepsToItsLimitsAndSaysSo) {
    std::string text = "<qvinfo qvlogin=\"alice\" excludefiletypes=\".tmp\" smartwatchfilesets=\"set000\">\n";
    char name[32];
    for (int i = 0; i < 200; ++i) {
        std::snprintf(name, sizeof name, "set%03d", i);
        text += std::string("<filesetdef filesetname=\"") + name + "\" extensions=\"a" + name + ",b" + name + "\" />\n";
    }
    const std::string padding(440, 'p');  // folder paths of equal length: sorted is folder order
    for (int i = 0; i < 20000; ++i) {
        text += i == 0 ? "<do_backup>\n" : i == 10000 ? "</do_backup>\n<do_backup>\n" : "";
        std::snprintf(name, sizeof name, "%05d", i);
        text += std::string("<qvdirfilter dir=\"c:\\users\\alice\\f") + name + "\\" + padding + "\\\" whichfiles=\"" +
                (i == 9998 ? "set150" : "set149") + ",none\" />\n";
    }
    text += "</do_backup>\n<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"C:\\\" />\n";
    text += "</qvinfo>\n";
    ASSERT_GT(text.size(), 9500000u);
    ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, text));
    TakeLog();
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
    EXPECT_EQ("alice", TextOf(s.qvLogin));
    EXPECT_EQ(1, s.volumes.GetCount());
    ASSERT_EQ(9999, s.excludedDirs.GetCount());
    EXPECT_EQ("c:\\users\\alice\\f00000\\" + padding + "\\", TextOf(*s.excludedDirs.GetAt(0)));
    EXPECT_EQ("c:\\users\\alice\\f09998\\" + padding + "\\", TextOf(*s.excludedDirs.GetAt(9998)));
    const std::string unknownSetFilter =
        "<qvdirfilter dir=\"c:\\users\\alice\\f09998\\" + padding + "\\\" whichfiles=\"set150,none\" />";
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR: GetAllFileSetDefsFromQvInfoFile, too many filesetdef definitions, 150 is the max, "
                  "clipping to 150!",
                  "ERROR: parsing qvinfo.xml, a qvdirfilter contains a fileset that does not make sense: set150, "
                  "qvdirfilter=" + unknownSetFilter,
                  "ERROR: parsing qvinfo.xml, found more than QV_INFO_MAX_NUM_DIR_FILTERS=10000 qvdirfilters, so "
                  "ignoring the rest - location B",
                  "ERROR: parsing qvinfo.xml, found more than QV_INFO_MAX_NUM_DIR_FILTERS=10000qvdirfilters, so "
                  "ignoring the rest - location A"}),
              TakeLog());
}

// Lines written while the log directory is gone or a file are lost without a sound: no crash,
// nothing made in its place, the logging reader's answer unchanged. Once the directory is back,
// lines arrive again.
TEST_F(QvHostileFiles, LogLinesAreLostQuietlyWhileTheLogDirectoryIsGoneAndWrittenWhenItReturns) {
    const std::string logDir = dataDir + "\\logs";
    QvString dayPath;
    GetLogFilePath(15, &dayPath);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "2024-03-15 10:00:00 %10d - back\n", int(QvPlatform::GetCurrentProcessId()));
    ASSERT_TRUE(QvTestFs::WriteFile(InterfacePath(), kInterface));
    for (bool fileInPlace : {false, true}) {
        SCOPED_TRACE(fileInPlace ? "a file in its place" : "removed");
        ASSERT_TRUE(QvTestFs::RemoveTree(logDir));
        ASSERT_TRUE(!fileInPlace || QvTestFs::WriteFile(logDir, "not a folder\n"));
        const std::string lostKey = fileInPlace ? "Lost_2" : "Lost_1", key = fileInPlace ? "Back_2" : "Back_1";
        WriteLogText("lost");
        EXPECT_EQ("ERR_" + lostKey, LookUp(lostKey.c_str()));
        std::string content;
        EXPECT_FALSE(QvTestFs::Exists(dayPath.GetText()));
        EXPECT_EQ(fileInPlace, QvTestFs::Exists(logDir)) << "the writer made the directory again";
        EXPECT_TRUE(!fileInPlace || (QvTestFs::ReadFile(logDir, &content) && content == "not a folder\n")) << content;
        ASSERT_TRUE(QvTestFs::RemoveTree(logDir) && QvTestFs::MakeDir(logDir));
        WriteLogText("back");
        EXPECT_EQ("ERR_" + key, LookUp(key.c_str()));
        ASSERT_TRUE(QvTestFs::ReadFile(dayPath.GetText(), &content));
        EXPECT_EQ(0u, content.find(prefix)) << content;
        EXPECT_NE(std::string::npos, content.find(key)) << content;
        EXPECT_EQ(std::string::npos, content.find("lost")) << content;
    }
}

// The folders below the data directory that the writer makes are open to every user, who
// could swap one for a link into somebody else's folder: no log file is made or deleted
// through it. The data directory itself may be a link (administrators choose it): lines
// go through it.
TEST_F(QvHostileFiles, LogIsNeitherWrittenNorCleanedThroughALinkBelowTheDataDirectory) {
    if (QvTestFs::IsWine())
        GTEST_SKIP() << "wine: CreateSymbolicLinkW reports success and creates nothing";
    const std::string other = temp.MakeDir("other\\qvbuitray"), logs = dataDir + "\\qvlogs";
    const std::string theirs = other + "\\qvbuitray17.log";  // a coming day's name, in their folder
    ASSERT_TRUE(QvTestFs::WriteFile(theirs, "theirs\n"));
    const struct { std::string link, target; } cases[] = {{logs + "\\qvbuitray", other}, {logs, temp.Join("other")}};
    std::string content;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        SetLogDirectory((logs + "\\qvbuitray").c_str());
        ASSERT_TRUE(QvTestFs::RemoveTree(c.link));
        if (!QvTestFs::MakeSymlink(c.link, c.target, true))
            GTEST_SKIP() << "symbolic links to folders cannot be made here";
        QvLogTest::ForgetLastCleanupTime();
        WriteLogText("through the link");
        EXPECT_TRUE(QvTestFs::ReadFile(theirs, &content) && content == "theirs\n") << "cleaned through the link";
        EXPECT_FALSE(QvTestFs::Exists(other + "\\qvbuitray15.log")) << "written through the link";
        ASSERT_TRUE(QvTestFs::RemoveTree(c.link));
    }
    const std::string linkedData = temp.Join("linked-data");
    ASSERT_TRUE(QvTestFs::MakeSymlink(linkedData, dataDir, true));
    WriteInstallConfig(linkedData);
    SetLogDirectory((linkedData + "\\qvlogs\\qvbuitray").c_str());
    WriteLogText("through the data directory");
    EXPECT_TRUE(QvTestFs::ReadFile(logs + "\\qvbuitray\\qvbuitray15.log", &content) &&
                content.find(" - through the data directory\n") != std::string::npos)
        << content;
}

}  // namespace
