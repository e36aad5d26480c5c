// Files written by other programs at their worst (empty, cut off mid-element, binary, not UTF-8,
// swapped for a symbolic link): every reader gives its documented answer. While another process
// rewrites a status file, every answer is the old value or the new one. A settings file far
// beyond the limits is read within them; a log directory taken away loses lines quietly.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
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

enum Hostile { Intact, Empty, Truncated, Binary, NotUtf8, Symlink };
const char* const kHostileNames[] = {"intact", "empty", "truncated mid-element", "binary", "not UTF-8",
                                     "symbolic link swapped in"};

const std::string kSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvinfo numdays_warn_if_no_backup=\"3\" qvlogin=\"alice\" num_backup_threads=\"4\" net_auto_throttle=\"false\">\n"
    "<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"C:\\\" />\n"
    "<qvvolume qvVolumeGuid=\"vBBBBBBBBBBBBBBBBBBBBBBBBBBB\" mountPointPath=\"D:\\\" />\n"
    "</qvinfo>\n";
const std::string kInterface =
    "<qvbui_texts>\n"
    "<qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Help\" TrayMenuItem_Quit=\"Quit\" />\n"
    "</qvbui_texts>\n";
const std::string kHostInfo = "<qvdc_synchostinfo hide_icon=\"TRUE\" enable_check_for_updates=\"false\" />\n";


// What a reader answered: the first content, the second, its documented default for a file it
// never found whole (a miss), or something else (torn).
enum class Answer { First, Second, Miss, Torn };

// Reads 20,000 times or for a second on the fake clock (waits counted, not waited) and returns how
// often each answer came. Torn is a fault; so is a miss before the full round of retries
// (missWaits), taking a torn text for a whole one, and a whole-file answer after more than
// hitMaxWaits.
std::vector<long long> RunReader(const char* name, std::function<Answer()> read, long long hitMaxWaits,
                                 long long missWaits) {
    std::vector<long long> answers(4);
    long long calls = 0, maxWaits = 0, reported = 0;
    for (auto start = std::chrono::steady_clock::now();
         calls < 20000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(1); ++calls) {
        QvPlatformTest::ResetSleepCounters();
        Answer answer = read();
        long long waits = QvPlatformTest::GetSleepCount();
        ++answers[int(answer)];
        maxWaits = std::max(maxWaits, waits);
        bool fault = answer == Answer::Torn || (waits != missWaits && (answer == Answer::Miss || waits > hitMaxWaits));
        if (fault && ++reported <= 5)
            ADD_FAILURE() << name << ", call " << calls + 1 << ": answer " << int(answer) << ", waits " << waits;
    }
    std::printf("[ rewrite  ] %s: %lld calls: %lld first, %lld second, %lld missed, %lld torn; at most %lld waits\n",
                name, calls, answers[0], answers[1], answers[2], answers[3], maxWaits);
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
                     const std::vector<std::string>& expected, std::function<std::string()> read) {
        temp.MakeDir("elsewhere");
        std::string binary, utf16 = "\xFF\xFE", target = temp.MakeFile("elsewhere\\target", intact);
        for (int b = 0; b < 1024; ++b)
            binary += char(b ^ ((b >> 8) * 37));
        for (char c : intact)
            utf16 += std::string{c, '\0'};
        const std::string contents[] = {intact, "", intact.substr(0, intact.find(cut)), binary, utf16};
        for (int kind = Intact; kind <= Symlink; ++kind) {
            SCOPED_TRACE(kHostileNames[kind]);
            QvTestFs::RemoveTree(path);
            if (kind != Symlink) {
                ASSERT_TRUE(QvTestFs::WriteFile(path, contents[kind]));
            } else if (QvTestFs::IsWine() || !QvTestFs::MakeSymlink(path, target, false)) {
                std::printf("[ note     ] %s; link case left out\n", QvTestFs::IsWine()
                                ? "wine: a symbolic link to a file is no reparse point"
                                : "symbolic links cannot be made here");
                continue;
            }
            QvPlatformTest::ResetSleepCounters();
            EXPECT_EQ(expected[kind], read());
        }
    }

    // On disk, then (POSIX) in memory: path holds first while QvStatusRewriter, copied into the
    // test's folder and started detached, rewrites it in place (truncate, write) with second and
    // first in turn until the test leaves a stop file; readers runs meanwhile. Its report says
    // "running" after the first rewrite and "rewrites N failures N milliseconds N" at the stop.
    // On a disk file system truncation waits for the old content's writeback, so the file is
    // empty nearly all the time; in memory it is whole about 40 %.
    void WhileAnotherProcessRewrites(std::function<std::string()> path, const std::string& first,
                                     const std::string& second, std::function<void(bool inMemory)> readers) {
        for (bool inMemory : {false, true}) {
            if (inMemory && (QvTestFs::IsWindows() || !QvTestFs::IsDirectory("/dev/shm")))
                continue;
            SCOPED_TRACE(inMemory ? "memory" : "disk");
            ASSERT_TRUE(!inMemory || UseMemory());
            ASSERT_TRUE(QvTestFs::WriteFile(path(), first));
            InitQvUiUtil();
            const std::string folder = temp.MakeDir(inMemory ? "writer-memory" : "writer-disk") + "\\",
                              program = folder + QV_STATUS_REWRITER_FILE_NAME, report = folder + "report";
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
            readers(inMemory);
            long long rewrites = -1;
            if (QvTestFs::WriteFile(folder + "stop", "") && reportSays("rewrites "))
                std::sscanf(said.c_str(), "rewrites %lld", &rewrites);
            std::replace(said.begin(), said.end(), '\n', ' ');
            std::printf("[ rewrite  ] %s, writer process: %s\n", inMemory ? "memory" : "disk", said.c_str());
            EXPECT_GT(rewrites, 0) << "the writer did not report";
        }
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

// Values in Latin-1 are taken byte for byte.
TEST_F(QvHostileFiles, SettingsReadTakesWhatIsWholeAndDefaultsTheRest) {
    auto read = [] {
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
        return std::to_string(s.numDaysWarnIfNoBackup) + " " + TextOf(s.qvLogin) + " " +
               std::to_string(s.volumes.GetCount());
    };
    ForEachKind(settingsPath, kSettings, "mountPointPath=\"D:",
                {"3 alice 2", "7 unknown 0", "3 alice 1", "7 unknown 0", "7 unknown 0", "7 unknown 0"}, read);
    ASSERT_TRUE(QvTestFs::RemoveTree(settingsPath) &&
                QvTestFs::WriteFile(settingsPath, "<qvinfo qvlogin=\"Ren\xE9\" />"));
    EXPECT_EQ("7 Ren\xE9 0", read());
}

TEST_F(QvHostileFiles, InterfaceTextFallsBackToTheErrorText) {
    std::vector<std::string> expected(6, "ERR_TrayMenuItem_Help");
    expected[Intact] = "Help";
    ForEachKind(InterfacePath(), kInterface, "Quit\"", expected, [] {
        QvUiUtilTest::ResetModule();  // the file is loaded once per process
        return LookUp("TrayMenuItem_Help");
    });
}

// Hidden, updates enabled, waits and milliseconds waited: a file caught short is read 20 times.
TEST_F(QvHostileFiles, HostInfoFlagsFallBackToShownAndEnabled) {
    InitQvUiUtil();
    ForEachKind(HostInfoPath(), kHostInfo, "lse\"", {"1 0 0 0", "0 1 19 5700", "1 1 0 0", "0 1 0 0", "0 1 0 0",
                "0 1 19 5700"}, [] {
        std::string flags = std::to_string(IsHideIconSet()) + " ";
        flags += std::to_string(IsCheckForUpdatesEnabled()) + " ";  // in this order: both may wait
        return flags + std::to_string(QvPlatformTest::GetSleepCount()) + " " +
               std::to_string(QvPlatformTest::GetSleptMillis());
    });
}

// Anything but exactly 32 bytes is no record, after 10 reads (the truncated one has 31).
TEST_F(QvHostileFiles, SendLogsStatusNeedsAWholeRecord) {
    std::string record = SendLogsRecord(2, 5, 10);
    std::vector<std::string> expected(6, "0 999% 999/999 error 999, waits 10");
    expected[Intact] = "2 55% 5/10 error 0, waits 0";
    ForEachKind(SendLogsPath(), record, record.substr(31), expected, [] {
        std::string status = SendLogsStatus(999);  // read before the waits are counted
        return status + ", waits " + std::to_string(QvPlatformTest::GetSleepCount());
    });
}

// Both versions say the same in different bytes (updates disabled, icon hidden): "enabled" or
// "shown" is the default for a file not found whole. The hide flag reads once, without retry.
TEST_F(QvHostileFiles, FlagReadersSeeTheOldOrTheNewFileWhileAnotherProcessRewritesIt) {
    WhileAnotherProcessRewrites(
        [this] { return HostInfoPath(); },
        "<qvdc_synchostinfo enable_check_for_updates=\"false\" hide_icon=\"true\" padding=\"1\" />\n",
        "<qvdc_synchostinfo enable_check_for_updates=\"FALSE\" hide_icon=\"TRUE\" padding=\"2\" />\n",
        [](bool inMemory) {
            std::vector<long long> updates = RunReader(
                "update flag", [] { return IsCheckForUpdatesEnabled() ? Answer::Miss : Answer::First; }, 19, 19);
            RunReader("hide flag", [] { return IsHideIconSet() ? Answer::First : Answer::Miss; }, 0, 0);
            EXPECT_TRUE(!inMemory || updates[0] > 0) << "no whole file met: the test proved nothing";
        });
}

// Every status read is one of the two whole records with its own amounts and percentage;
// "no job" only after all 10 waits, with the outputs untouched.
TEST_F(QvHostileFiles, SendLogsStatusIsAWholeOldOrNewRecordWhileAnotherProcessRewritesIt) {
    WhileAnotherProcessRewrites([this] { return SendLogsPath(); }, SendLogsRecord(1, 4, 10), SendLogsRecord(2, 7, 10),
                                [](bool inMemory) {
        std::vector<long long> status = RunReader("send-logs record", [] {
            std::string got = SendLogsStatus(999);
            return got == "1 4% 4/10 error 0"    ? Answer::First
                   : got == "2 73% 7/10 error 0" ? Answer::Second
                   : got == "0 999% 999/999 error 999" ? Answer::Miss : Answer::Torn;
        }, 9, 10);
        EXPECT_TRUE(!inMemory || (status[0] > 0 && status[1] > 0)) << "a record was never met whole";
    });
}

// About 10 MB: 200 file sets (150 are read) and 20000 watched folders in two backup blocks (9999
// records are kept). Every folder is excluded ("none") and names the 150th set, except the last
// kept one, which names the 151st: a set never read.
TEST_F(QvHostileFiles, SettingsReadOfATenMegabyteFileKeepsToItsLimitsAndSaysSo) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo qvlogin=\"alice\" "
                       "excludefiletypes=\".tmp\" smartwatchfilesets=\"set000\">\n";
    char name[32];
    for (int i = 0; i < 200; ++i) {
        std::snprintf(name, sizeof name, "set%03d", i);
        text += std::string("<filesetdef filesetname=\"") + name + "\" extensions=\"a" + name + ",b" + name + "\" />\n";
    }
    const std::string padding(440, 'p');  // folder paths of equal length: sorted is folder order
    std::string unknownSetFilter;
    for (int i = 0; i < 20000; ++i) {
        text += i == 0 ? "<do_backup>\n" : i == 10000 ? "</do_backup>\n<do_backup>\n" : "";
        std::snprintf(name, sizeof name, "%05d", i);
        std::string filter = std::string("<qvdirfilter dir=\"c:\\users\\alice\\f") + name + "\\" + padding +
                             "\\\" whichfiles=\"" + (i == 9998 ? "set150" : "set149") + ",none\" />";
        unknownSetFilter = i == 9998 ? filter : unknownSetFilter;
        text += filter + "\n";
    }
    text +=
        "</do_backup>\n<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"C:\\\" />\n</qvinfo>\n";
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
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR: GetAllFileSetDefsFromQvInfoFile, too many filesetdef definitions, 150 is the max, "
                  "clipping to 150!",
                  "ERROR: parsing qvinfo.xml, a qvdirfilter contains a fileset that does not make sense: set150, "
                  "qvdirfilter=" + unknownSetFilter,
                  "ERROR: parsing qvinfo.xml, found more than QV_INFO_MAX_NUM_DIR_FILTERS=10000 qvdirfilters, so "
                  "ignoring the rest - location B",
                  "ERROR: parsing qvinfo.xml, found more than QV_INFO_MAX_NUM_DIR_FILTERS=10000qvdirfilters, so "
                  "ignoring the rest - location A",
              }),
              TakeLog());
}

// Lines written while the log directory is gone, read-only, or a file are lost without a sound:
// no crash, nothing made in its place, the logging reader's answer unchanged. Once the
// directory is back, lines arrive again.
TEST_F(QvHostileFiles, LogLinesAreLostQuietlyWhileTheLogDirectoryIsGoneAndWrittenWhenItReturns) {
    namespace fs = std::filesystem;
    const std::string logDir = dataDir + "\\logs";
    std::string nativeLogDir = logDir;
    if (!QvTestFs::IsWindows())
        std::replace(nativeLogDir.begin(), nativeLogDir.end(), '\\', '/');
    QvString dayPath;
    GetLogFilePath(15, &dayPath);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "2024-03-15 10:00:00 %10d - back\n", int(QvPlatform::GetCurrentProcessId()));
    ASSERT_TRUE(QvTestFs::WriteFile(InterfacePath(), kInterface));
    int missingKeys = 0;
    auto lookUpMissing = [&missingKeys] {
        std::string key = "Missing_" + std::to_string(++missingKeys);
        EXPECT_EQ("ERR_" + key, LookUp(key.c_str()));
        return key;
    };
    enum Loss { Removed, ReadOnly, FileInPlace };
    for (Loss loss : {Removed, ReadOnly, FileInPlace}) {
        SCOPED_TRACE(loss);
        ASSERT_TRUE(QvTestFs::RemoveTree(logDir));
        std::error_code error;
        ASSERT_TRUE(loss != FileInPlace || QvTestFs::WriteFile(logDir, "not a folder\n"));
        if (loss == ReadOnly) {
            ASSERT_TRUE(QvTestFs::MakeDir(logDir));
            fs::permissions(nativeLogDir, fs::perms(0555), error);
            ASSERT_FALSE(error) << error.message();
            // Root passes over permission bits, and a Windows folder's read-only mark does not stop
            // files being made in it: the case says nothing there.
            if (QvTestFs::WriteFile(logDir + "\\probe", "x")) {
                std::printf("[ note     ] read-only log directory: files can still be made in it (%s); left out\n",
                            QvTestFs::IsWindows() ? "a folder's read-only mark" : "running as root");
                fs::permissions(nativeLogDir, fs::perms::all, error);
                continue;
            }
        }
        WriteLogText("lost 1");
        QvString line("lost 2");
        WriteLogLine(&line);
        lookUpMissing();
        std::string content;
        EXPECT_FALSE(QvTestFs::Exists(dayPath.GetText()));
        EXPECT_EQ(loss != Removed, QvTestFs::Exists(logDir)) << "the writer made the directory again";
        EXPECT_TRUE(loss != FileInPlace || (QvTestFs::ReadFile(logDir, &content) && content == "not a folder\n"))
            << content;
        fs::permissions(nativeLogDir, fs::perms::all, error);
        ASSERT_TRUE(QvTestFs::RemoveTree(logDir) && QvTestFs::MakeDir(logDir));
        WriteLogText("back");
        std::string key = lookUpMissing();
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        SetLogDirectory((logs + "\\qvbuitray").c_str());
        ASSERT_TRUE(QvTestFs::RemoveTree(c.link));
        if (!QvTestFs::MakeSymlink(c.link, c.target, true))
            GTEST_SKIP() << "symbolic links to folders cannot be made here";
        QvLogTest::ForgetLastCleanupTime();
        WriteLogText("through the link");
        std::string content;
        EXPECT_TRUE(QvTestFs::ReadFile(theirs, &content) && content == "theirs\n") << "cleaned through the link";
        EXPECT_FALSE(QvTestFs::Exists(other + "\\qvbuitray15.log")) << "written through the link";
        ASSERT_TRUE(QvTestFs::RemoveTree(c.link));
    }
    const std::string linkedData = temp.Join("linked-data");
    ASSERT_TRUE(QvTestFs::MakeSymlink(linkedData, dataDir, true));
    WriteInstallConfig(linkedData);
    SetLogDirectory((linkedData + "\\qvlogs\\qvbuitray").c_str());
    WriteLogText("through the data directory");
    std::string content;
    EXPECT_TRUE(QvTestFs::ReadFile(logs + "\\qvbuitray\\qvbuitray15.log", &content) &&
                content.find(" - through the data directory\n") != std::string::npos)
        << content;
}

}  // namespace
