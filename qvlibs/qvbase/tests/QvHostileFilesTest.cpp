// Files written by other programs, at their worst: empty, cut off in the middle of an
// element, binary, not UTF-8, or swapped for a symbolic link. Every reader (settings,
// interface text, host-information flags, send-logs record) must give its documented
// answer without failing loudly. While another process rewrites a status file, every
// answer a reader gives is the old value or the new one. A settings file far beyond the
// limits is read within them, and a log directory taken away loses lines quietly.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestInstallation.h"
#include "QvTestSystem.h"
#include "config/QvInfoManagerTestHooks.h"
#include "config/QvUiUtilTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformFiles.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvUiUtil.h"

namespace {

const char* const kTempVariables[] = {"TMPDIR", "TMP", "TEMP"};

// The ways a file can be hostile; Intact is the reference.
enum class Hostile { Intact, Empty, Truncated, Binary, NotUtf8, Symlink };
const Hostile kHostileKinds[] = {Hostile::Empty, Hostile::Truncated, Hostile::Binary, Hostile::NotUtf8,
                                 Hostile::Symlink};

const char* NameOf(Hostile kind) {
    switch (kind) {
    case Hostile::Intact: return "intact";
    case Hostile::Empty: return "empty";
    case Hostile::Truncated: return "truncated mid-element";
    case Hostile::Binary: return "binary";
    case Hostile::NotUtf8: return "not UTF-8";
    case Hostile::Symlink: return "symbolic link swapped in";
    }
    return "?";
}

std::string BinaryBytes() {
    std::string bytes;
    for (int round = 0; round < 4; ++round)
        for (int b = 0; b < 256; ++b)
            bytes += char(b ^ (round * 37));
    return bytes;
}

// The same text as UTF-16LE with a byte-order mark, as an editor might save it.
std::string AsUtf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

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

std::string SendLogsRecord(uint32_t status, uint64_t done, uint64_t total) {
    std::string bytes(32, char(0xbd));
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((status >> (8 * i)) & 0xff);
    for (int i = 0; i < 8; ++i) {
        bytes[8 + i] = char((done >> (8 * i)) & 0xff);
        bytes[16 + i] = char((total >> (8 * i)) & 0xff);
    }
    for (int i = 0; i < 4; ++i)
        bytes[28 + i] = 0;
    return bytes;
}

class QvHostileFiles : public QvTestInstallation {
protected:
    void SetUp() override {
        QvTestInstallation::SetUp();
        temp.MakeDir("elsewhere");
    }

    // Puts the hostile form of intact at path. False (with the test skipped) when the
    // platform cannot make a symbolic link, or makes one that is not a reparse point.
    bool Plant(const std::string& path, const std::string& intact, Hostile kind, const std::string& truncated) {
        QvTestFs::RemoveTree(path);
        switch (kind) {
        case Hostile::Intact: return QvTestFs::WriteFile(path, intact);
        case Hostile::Empty: return QvTestFs::WriteFile(path, "");
        case Hostile::Truncated: return QvTestFs::WriteFile(path, truncated);
        case Hostile::Binary: return QvTestFs::WriteFile(path, BinaryBytes());
        case Hostile::NotUtf8: return QvTestFs::WriteFile(path, AsUtf16(intact));
        case Hostile::Symlink: {
            // The link points at an intact file: what matters is that it is never followed.
            std::string target = temp.Join("elsewhere\\target" + std::to_string(++links));
            if (!QvTestFs::WriteFile(target, intact))
                return false;
            return QvTestFs::MakeSymlink(path, target, false);
        }
        }
        return false;
    }

    // Symbolic links to files: refused where the platform does not allow them, and not
    // reparse points under Wine, so the library cannot see them there.
    bool SymlinksUsable() {
        if (QvTestFs::IsWine())
            return false;
        std::string probe = temp.Join("elsewhere\\probe");
        return QvTestFs::WriteFile(probe, "x") && QvTestFs::MakeSymlink(temp.Join("elsewhere\\probe-link"), probe, false);
    }
    std::vector<Hostile> Kinds() {
        std::vector<Hostile> kinds;
        bool links = SymlinksUsable();
        for (Hostile kind : kHostileKinds) {
            if (kind != Hostile::Symlink || links)
                kinds.push_back(kind);
        }
        static bool told = false;
        if (!links && !told && (told = true))
            std::printf("[ note     ] %s\n", QvTestFs::IsWine() ? "wine: a symbolic link to a file is no reparse point; link case left out"
                                                              : "symbolic links cannot be made here; link case left out");
        return kinds;
    }

    std::string SettingsPath() const { return dataDir + "\\qvinfo.xml"; }
    std::string InterfacePath() const { return temp.Join("install\\qvbui_interface.xml"); }
    std::string HostInfoPath() const { return dataDir + "\\qvreports\\qvdc_synchostinfo.xml"; }
    std::string SendLogsPath() const { return tempDir + "\\qv_sendlogs_ststus.shm"; }

    // Where the rewrite tests put the status files: the test's folder on disk and, where
    // the system has one, a memory file system. On a disk file system truncating a file
    // waits for the writeback of its old content, so a writer that rewrites in a tight
    // loop keeps the file empty nearly all the time and readers rarely meet it whole; in
    // memory a file is whole about 40 % of the time and flips far more often.
    std::vector<std::string> StatusFileMedia() {
        std::vector<std::string> media{"disk"};
        if (!QvTestFs::IsWindows() && QvTestFs::IsDirectory("/dev/shm"))
            media.push_back("memory");
        return media;
    }
    // Moves the data and temporary directories (and with them the status files) to a
    // fresh folder of the medium.
    bool UseMedium(const std::string& medium) {
        if (medium == "disk")
            return true;
        std::string root = "/dev/shm/qv-rewrite-" + std::to_string(QvPlatform::GetCurrentProcessId()) + "-" +
                           std::to_string(++memoryRoots);
        memoryRoot.reset(new QvTempTree(root));
        dataDir = root + "\\data";
        tempDir = root + "\\tmp";
        for (const std::string& dir : {root, dataDir, dataDir + "\\qvreports", tempDir})
            if (!QvTestFs::MakeDir(dir))
                return false;
        WriteInstallConfig(dataDir);
        for (const char* name : kTempVariables)
            QvTestSystem::SetEnv(name, tempDir);
        QvPlatformTest::ResetTempDirCache();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvUiUtilTest::ResetModule();
        return true;
    }

    // A folder outside the test's own, removed with everything in it.
    struct QvTempTree {
        explicit QvTempTree(const std::string& path) : path(path) {}
        ~QvTempTree() { QvTestFs::RemoveTree(path); }
        std::string path;
    };

    std::unique_ptr<QvTempTree> memoryRoot;
    int memoryRoots = 0;
    int links = 0;
};

std::string TextOf(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

// The settings record after a read of each kind of file: whatever is whole is taken, the
// rest keeps its reset value; a cut-off element is skipped.
TEST_F(QvHostileFiles, SettingsReadTakesWhatIsWholeAndDefaultsTheRest) {
    struct Expected {
        Hostile kind;
        int32_t numDays;
        const char* login;
        int32_t volumes;
    };
    const Expected table[] = {
        {Hostile::Intact, 3, "alice", 2},  {Hostile::Empty, 7, "unknown", 0},  {Hostile::Truncated, 3, "alice", 1},
        {Hostile::Binary, 7, "unknown", 0}, {Hostile::NotUtf8, 7, "unknown", 0}, {Hostile::Symlink, 7, "unknown", 0},
    };
    std::string truncated = kSettings.substr(0, kSettings.find("mountPointPath=\"D:"));
    std::vector<Hostile> kinds = Kinds();
    for (const Expected& row : table) {
        if (row.kind != Hostile::Intact && std::find(kinds.begin(), kinds.end(), row.kind) == kinds.end())
            continue;
        SCOPED_TRACE(NameOf(row.kind));
        ASSERT_TRUE(Plant(SettingsPath(), kSettings, row.kind, truncated));
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
        EXPECT_EQ(row.numDays, s.numDaysWarnIfNoBackup);
        EXPECT_EQ(row.login, TextOf(s.qvLogin));
        EXPECT_EQ(row.volumes, s.volumes.GetCount());
    }
}

// A byte that is not UTF-8 reaches the record unchanged: values are opaque bytes.
TEST_F(QvHostileFiles, SettingsValuesInLatin1AreTakenByteForByte) {
    ASSERT_TRUE(QvTestFs::WriteFile(SettingsPath(), "<qvinfo qvlogin=\"Ren\xE9\" />"));
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    EXPECT_EQ("Ren\xE9", TextOf(QvInfoManager::GetControlPanelSettings().qvLogin));
}

// The interface text of each kind of file: the text, or "ERR_" and the key.
TEST_F(QvHostileFiles, InterfaceTextFallsBackToTheErrorText) {
    std::string truncated = kInterface.substr(0, kInterface.find("Quit\""));
    for (Hostile kind : Kinds()) {
        SCOPED_TRACE(NameOf(kind));
        ASSERT_TRUE(Plant(InterfacePath(), kInterface, kind, truncated));
        QvUiUtilTest::ResetModule();  // the file is loaded once per process
        QvString text("sentinel");
        GetUtf8InterfaceText("TrayMenuItem_Help", &text);
        EXPECT_EQ("ERR_TrayMenuItem_Help", TextOf(text));
    }
    ASSERT_TRUE(Plant(InterfacePath(), kInterface, Hostile::Intact, ""));
    QvUiUtilTest::ResetModule();
    QvString text;
    GetUtf8InterfaceText("TrayMenuItem_Help", &text);
    EXPECT_EQ("Help", TextOf(text));
}

// The host-information flags: the icon stays shown and updates stay enabled unless the
// file says otherwise in full; a file caught short is read 20 times, 19 waits of 300 ms.
TEST_F(QvHostileFiles, HostInfoFlagsFallBackToShownAndEnabled) {
    struct Expected {
        Hostile kind;
        bool hidden;
        bool updatesEnabled;
        long long waits;
    };
    const Expected table[] = {
        {Hostile::Intact, true, false, 0}, {Hostile::Empty, false, true, 19},   {Hostile::Truncated, true, true, 0},
        {Hostile::Binary, false, true, 0}, {Hostile::NotUtf8, false, true, 0}, {Hostile::Symlink, false, true, 19},
    };
    std::string truncated = kHostInfo.substr(0, kHostInfo.find("lse\""));
    std::vector<Hostile> kinds = Kinds();
    InitQvUiUtil();
    for (const Expected& row : table) {
        if (row.kind != Hostile::Intact && std::find(kinds.begin(), kinds.end(), row.kind) == kinds.end())
            continue;
        SCOPED_TRACE(NameOf(row.kind));
        ASSERT_TRUE(Plant(HostInfoPath(), kHostInfo, row.kind, truncated));
        QvPlatformTest::ResetSleepCounters();
        EXPECT_EQ(row.hidden, IsHideIconSet());
        EXPECT_EQ(row.updatesEnabled, IsCheckForUpdatesEnabled());
        EXPECT_EQ(row.waits, QvPlatformTest::GetSleepCount());
        EXPECT_EQ(row.waits * 300, QvPlatformTest::GetSleptMillis());
    }
}

// The send-logs record: anything but exactly 32 bytes is no record, after 10 reads.
TEST_F(QvHostileFiles, SendLogsStatusNeedsAWholeRecord) {
    std::string record = SendLogsRecord(2, 5, 10);
    std::vector<Hostile> kinds = Kinds();
    for (Hostile kind : {Hostile::Intact, Hostile::Empty, Hostile::Truncated, Hostile::Binary, Hostile::Symlink}) {
        if (kind != Hostile::Intact && std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
            continue;
        SCOPED_TRACE(NameOf(kind));
        ASSERT_TRUE(Plant(SendLogsPath(), record, kind, record.substr(0, 31)));
        QvPlatformTest::ResetSleepCounters();
        uint32_t percent = 0xdeadbeef;
        uint64_t done = 0, total = 0;
        int32_t errorCode = -1;
        QvSendLogsRunStatus status = QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode);
        if (kind == Hostile::Intact) {
            EXPECT_EQ(2u, status);
            EXPECT_EQ(55u, percent);
            EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
        } else {
            EXPECT_EQ(kSendLogsRunStatusNone, status);
            EXPECT_EQ(0xdeadbeefu, percent);
            EXPECT_EQ(10, QvPlatformTest::GetSleepCount());
        }
    }
}

// ---- Another process rewriting the status files while the readers run -----------------

// The writer: QvStatusRewriter, copied into the test's folder and started detached. It
// rewrites a file in place (truncate, then write) as fast as it can, alternating two
// contents, until the test leaves a stop file (or a minute has passed), then reports
// its rewrite count. Waiting for it is waiting for another process: real time.
class WriterProcess {
public:
    WriterProcess(QvTempDir& temp, const std::string& target, const std::string& first, const std::string& second)
        : temp(temp), folder("writer" + std::to_string(++runs)), target(target), first(first), second(second) {}
    ~WriterProcess() { Stop(); }

    // Starts the writer and waits (at most 30 s: Wine may have to start up) until it
    // has rewritten the file once.
    bool Start() {
        temp.MakeDir(folder);
        std::string program = temp.Join(folder + "\\" QV_STATUS_REWRITER_FILE_NAME);
        if (!QvTestSystem::CopyProgram(QvTestSystem::GetProgramDir() + "/" + QV_STATUS_REWRITER_FILE_NAME, program))
            return false;
        std::string firstFile = temp.MakeFile(folder + "\\first", first);
        std::string secondFile = temp.MakeFile(folder + "\\second", second);
        QvString commandLine(("\"" + program + "\" \"" + target + "\" \"" + firstFile + "\" \"" + secondFile +
                              "\" \"" + StopPath() + "\" \"" + ReportPath() + "\" 60000")
                                 .c_str());
        started = QvSystem::RunCommand(&commandLine);
        std::string report;
        return started && WaitFor([&] { return QvTestFs::ReadFile(ReportPath(), &report); });
    }
    // Leaves the stop file and waits for the final report; the number of rewrites, or -1
    // when the writer never reported.
    long long Stop() {
        if (!started)
            return rewrites;
        started = false;
        std::string report;
        if (!QvTestFs::WriteFile(StopPath(), "") ||
            !WaitFor([&] { return QvTestFs::ReadFile(ReportPath(), &report) && report.rfind("rewrites ", 0) == 0; }))
            return rewrites;
        std::sscanf(report.c_str(), "rewrites %lld failures %lld milliseconds %lld", &rewrites, &failures, &millis);
        return rewrites;
    }
    long long Failures() const { return failures; }
    long long Millis() const { return millis; }

private:
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        for (int waited = 0; waited < 30000; waited += 10) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }
    std::string StopPath() const { return temp.Join(folder + "\\stop"); }
    std::string ReportPath() const { return temp.Join(folder + "\\report"); }

    static inline int runs = 0;
    QvTempDir& temp;
    std::string folder, target, first, second;
    bool started = false;
    long long rewrites = -1, failures = -1, millis = -1;
};

// Each reader runs this many times, or for this long, whichever ends first. The fake
// clock makes the readers' retry waits free, so they are counted rather than waited.
const int kRewriteReads = 20000;
const std::chrono::milliseconds kRewriteReadTime(1000);

// What a reader answered: the first content, the second, its documented default for a
// file it never found whole (a miss), or something else (torn: a fault).
enum class Answer { First, Second, Miss, Torn };

// What one reader saw, with its retry waits per call.
struct ReaderTally {
    long long calls = 0, first = 0, second = 0, misses = 0, torn = 0, callsThatWaited = 0, waits = 0, maxWaits = 0;
    long long badWaits = 0;  // calls whose waits do not fit their answer
};

// Runs read as often as the bounds allow. A miss is allowed only after the reader's full
// round of retries (missWaits waits); an answer from a whole file after at most
// hitMaxWaits. Answering the default after fewer waits means a torn text was taken for
// a whole one.
template <typename Read>
ReaderTally RunReader(Read read, long long hitMaxWaits, long long missWaits) {
    ReaderTally t;
    auto start = std::chrono::steady_clock::now();
    while (t.calls < kRewriteReads && std::chrono::steady_clock::now() - start < kRewriteReadTime) {
        QvPlatformTest::ResetSleepCounters();
        Answer answer = read();
        long long waits = QvPlatformTest::GetSleepCount();
        ++t.calls;
        t.callsThatWaited += waits > 0 ? 1 : 0;
        t.waits += waits;
        t.maxWaits = std::max(t.maxWaits, waits);
        switch (answer) {
        case Answer::First: ++t.first; break;
        case Answer::Second: ++t.second; break;
        case Answer::Miss: ++t.misses; break;
        case Answer::Torn: ++t.torn; break;
        }
        bool fits = answer == Answer::Miss ? waits == missWaits : waits <= hitMaxWaits;
        if (!fits && answer != Answer::Torn && ++t.badWaits <= 5)
            ADD_FAILURE() << "call " << t.calls << ": " << (answer == Answer::Miss ? "default" : "whole-file")
                          << " answer after " << waits << " waits";
    }
    return t;
}

void PrintTally(const std::string& medium, const char* reader, const ReaderTally& t) {
    std::printf("[ rewrite  ] %s, %s: %lld calls: %lld first, %lld second, %lld missed, %lld torn; "
                "%lld calls waited, %lld waits, at most %lld in one call\n",
                medium.c_str(), reader, t.calls, t.first, t.second, t.misses, t.torn, t.callsThatWaited, t.waits, t.maxWaits);
}

void PrintWriter(const std::string& medium, const WriterProcess& writer, long long rewrites) {
    std::printf("[ rewrite  ] %s, writer process: %lld rewrites (%lld refused while a reader held the file) in %lld ms\n",
                medium.c_str(), rewrites, writer.Failures(), writer.Millis());
}

// Both versions of the host-information file say the same in different bytes (updates
// disabled, icon hidden): "enabled" or "shown" is the reader's default for a file it did
// not find whole. The update flag reads a file caught short again, so its default may
// only come after all 19 waits; the hide flag reads once and has no retry, so a file
// caught empty shows the icon: counted, not failed.
TEST_F(QvHostileFiles, FlagReadersSeeTheOldOrTheNewFileWhileAnotherProcessRewritesIt) {
    const std::string before = "<qvdc_synchostinfo enable_check_for_updates=\"false\" hide_icon=\"true\" padding=\"1\" />\n";
    const std::string after = "<qvdc_synchostinfo enable_check_for_updates=\"FALSE\" hide_icon=\"TRUE\" padding=\"2\" />\n";
    ASSERT_EQ(before.size(), after.size());
    for (const std::string& medium : StatusFileMedia()) {
        SCOPED_TRACE(medium);
        ASSERT_TRUE(UseMedium(medium));
        ASSERT_TRUE(QvTestFs::WriteFile(HostInfoPath(), before));
        InitQvUiUtil();
        WriterProcess writer(temp, HostInfoPath(), after, before);
        ASSERT_TRUE(writer.Start()) << "the writer program did not start";
        ReaderTally updates =
            RunReader([] { return IsCheckForUpdatesEnabled() ? Answer::Miss : Answer::First; }, 19, 19);
        ReaderTally hidden = RunReader([] { return IsHideIconSet() ? Answer::First : Answer::Miss; }, 0, 0);
        long long rewrites = writer.Stop();
        EXPECT_GT(rewrites, 0) << "the writer did not report";
        EXPECT_LE(updates.maxWaits, 19);
        EXPECT_EQ(0, hidden.maxWaits) << "the hide flag has no retry";
        if (medium == "memory") {
            EXPECT_GT(updates.first, 0) << "no whole file met: the test proved nothing";
        }
        PrintTally(medium, "update flag (first: disabled as written)", updates);
        PrintTally(medium, "hide flag (first: hidden as written; a miss shows the icon)", hidden);
        PrintWriter(medium, writer, rewrites);
    }
}

// The send-logs record: every status read during the rewriting is one of the two whole
// records with its own amounts and percentage, never a mix; "no job" only after all 10
// reads and their 10 waits, with the outputs untouched.
TEST_F(QvHostileFiles, SendLogsStatusIsAWholeOldOrNewRecordWhileAnotherProcessRewritesIt) {
    const std::string preparing = SendLogsRecord(1, 4, 10);
    const std::string sending = SendLogsRecord(2, 7, 10);
    for (const std::string& medium : StatusFileMedia()) {
        SCOPED_TRACE(medium);
        ASSERT_TRUE(UseMedium(medium));
        ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), preparing));
        WriterProcess writer(temp, SendLogsPath(), sending, preparing);
        ASSERT_TRUE(writer.Start()) << "the writer program did not start";
        int reported = 0;
        ReaderTally status = RunReader(
            [&] {
                uint32_t percent = 0xbdbdbdbd;
                uint64_t done = 0xbd, total = 0xbd;
                int32_t errorCode = -1;
                QvSendLogsRunStatus got = QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode);
                if (got == 1 && done == 4 && total == 10 && percent == 4 && errorCode == 0)
                    return Answer::First;
                if (got == 2 && done == 7 && total == 10 && percent == 73 && errorCode == 0)
                    return Answer::Second;
                if (got == kSendLogsRunStatusNone && done == 0xbd && total == 0xbd && percent == 0xbdbdbdbd &&
                    errorCode == -1)
                    return Answer::Miss;
                if (++reported <= 5)
                    ADD_FAILURE() << "status " << got << ", done " << done << ", total " << total << ", percent "
                                  << percent << ", error code " << errorCode;
                return Answer::Torn;
            },
            9, 10);
        long long rewrites = writer.Stop();
        EXPECT_GT(rewrites, 0) << "the writer did not report";
        EXPECT_EQ(0, status.torn);
        EXPECT_LE(status.maxWaits, 10);
        if (medium == "memory") {
            EXPECT_GT(status.first, 0) << "the first record was never met whole";
            EXPECT_GT(status.second, 0) << "the second record was never met whole";
        }
        PrintTally(medium, "send-logs record (first: preparing, second: sending)", status);
        PrintWriter(medium, writer, rewrites);
    }
}

// ---- A settings file far beyond the limits -------------------------------------------

// The messages of the day's log file (day 15 on the fake clock), without time and
// process id.
std::vector<std::string> LogMessages() {
    QvString path;
    GetLogFilePath(15, &path);
    std::string content;
    std::vector<std::string> messages;
    if (!QvTestFs::ReadFile(TextOf(path), &content))
        return messages;
    const size_t kPrefix = 19 + 11 + 3;  // time stamp, " %10d", " - "
    for (size_t start = 0, end; start < content.size(); start = end + 1) {
        end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        messages.push_back(end - start >= kPrefix ? content.substr(start + kPrefix, end - start - kPrefix) : "");
    }
    return messages;
}

// About 10 MB: 200 file sets (150 are read) and 20000 watched folders in two backup
// blocks (9999 records are kept). Every folder is excluded ("none") and names the
// 150th set, except the last kept one, which names the 151st: a set never read.
TEST_F(QvHostileFiles, SettingsReadOfATenMegabyteFileKeepsToItsLimitsAndSaysSo) {
    const int kSets = 200, kFolders = 20000;
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo qvlogin=\"alice\" excludefiletypes=\".tmp\" "
                       "smartwatchfilesets=\"set000\">\n";
    char name[32];
    for (int i = 0; i < kSets; ++i) {
        std::snprintf(name, sizeof name, "set%03d", i);
        text += std::string("<filesetdef filesetname=\"") + name + "\" extensions=\"a" + name + ",b" + name + "\" />\n";
    }
    // Folder paths of equal length, so the sorted list is in folder order.
    const std::string padding(440, 'p');
    std::string unknownSetFilter;
    for (int i = 0; i < kFolders; ++i) {
        if (i % 10000 == 0)
            text += i == 0 ? "<do_backup>\n" : "</do_backup>\n<do_backup>\n";
        std::snprintf(name, sizeof name, "%05d", i);
        std::string filter = std::string("<qvdirfilter dir=\"c:\\users\\alice\\f") + name + "\\" + padding +
                             "\\\" whichfiles=\"" + (i == 9998 ? "set150" : "set149") + ",none\" />";
        if (i == 9998)
            unknownSetFilter = filter;
        text += filter + "\n";
    }
    text += "</do_backup>\n<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"C:\\\" />\n"
            "</qvinfo>\n";
    ASSERT_GT(text.size(), 9500000u);
    ASSERT_TRUE(QvTestFs::WriteFile(SettingsPath(), text));

    auto start = std::chrono::steady_clock::now();
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    long long millis = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                           .count();
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
              LogMessages());
    std::printf("[ limits   ] %zu bytes, %d file sets, %d folders: read in %lld ms\n", text.size(), kSets, kFolders,
                millis);
}

// ---- The log directory taken away while the program runs -----------------------------

std::string NativeFsPath(std::string path) {
    if (!QvTestFs::IsWindows())
        std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Lines written while the log directory is gone, read-only, or a file are lost without a
// sound: no crash, no directory or file made in its place, the logging reader's answer
// unchanged. Once the directory is back, lines arrive again.
TEST_F(QvHostileFiles, LogLinesAreLostQuietlyWhileTheLogDirectoryIsGoneAndWrittenWhenItReturns) {
    enum class Loss { Removed, ReadOnly, FileInPlace };
    const struct {
        Loss loss;
        const char* name;
    } cases[] = {{Loss::Removed, "removed"}, {Loss::ReadOnly, "read-only"}, {Loss::FileInPlace, "a file in its place"}};
    const std::string logDir = dataDir + "\\logs";
    QvString dayPath;
    GetLogFilePath(15, &dayPath);
    const std::string dayFile = TextOf(dayPath);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "2024-03-15 10:00:00 %10d - ", int(QvPlatform::GetCurrentProcessId()));
    ASSERT_TRUE(QvTestFs::WriteFile(InterfacePath(), kInterface));
    namespace fs = std::filesystem;
    const fs::perms kReadOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;  // 0555
    int missingKeys = 0;
    auto lookUpMissing = [&missingKeys] {
        std::string key = "Missing_" + std::to_string(++missingKeys);
        QvString text;
        GetUtf8InterfaceText(key.c_str(), &text);
        EXPECT_EQ("ERR_" + key, TextOf(text));
        return key;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QvTestFs::RemoveTree(logDir));
        ASSERT_TRUE(QvTestFs::MakeDir(logDir));
        std::error_code error;
        switch (c.loss) {
        case Loss::Removed: ASSERT_TRUE(QvTestFs::RemoveTree(logDir)); break;
        case Loss::ReadOnly: {
            fs::permissions(NativeFsPath(logDir), kReadOnly, error);
            ASSERT_FALSE(error) << error.message();
            // Root passes over permission bits, and a Windows folder's read-only mark does
            // not stop files being made in it: the case says nothing there.
            if (QvTestFs::WriteFile(logDir + "\\probe", "x")) {
                std::printf("[ note     ] log directory %s: files can still be made in it here (%s); case left out\n",
                            c.name, QvTestFs::IsWindows() ? "a folder's read-only mark" : "running as root");
                fs::permissions(NativeFsPath(logDir), fs::perms::all, error);
                continue;
            }
            break;
        }
        case Loss::FileInPlace:
            ASSERT_TRUE(QvTestFs::RemoveTree(logDir));
            ASSERT_TRUE(QvTestFs::WriteFile(logDir, "not a folder\n"));
            break;
        }

        WriteLogText("lost 1");
        QvString line("lost 2");
        WriteLogLine(&line);
        lookUpMissing();
        std::string content;
        EXPECT_FALSE(QvTestFs::Exists(dayFile));
        if (c.loss == Loss::Removed) {
            EXPECT_FALSE(QvTestFs::Exists(logDir)) << "the writer made the directory again";
        } else if (c.loss == Loss::FileInPlace) {
            EXPECT_TRUE(QvTestFs::ReadFile(logDir, &content) && content == "not a folder\n") << content;
        }

        if (c.loss == Loss::ReadOnly) {
            fs::permissions(NativeFsPath(logDir), fs::perms::all, error);
            ASSERT_FALSE(error) << error.message();
        } else {
            ASSERT_TRUE(QvTestFs::RemoveTree(logDir));
            ASSERT_TRUE(QvTestFs::MakeDir(logDir));
        }
        WriteLogText("back");
        std::string key = lookUpMissing();
        ASSERT_TRUE(QvTestFs::ReadFile(dayFile, &content));
        EXPECT_EQ(0u, content.rfind(prefix + std::string("back\n"), 0)) << content;
        EXPECT_NE(std::string::npos, content.find(key)) << content;
        EXPECT_EQ(std::string::npos, content.find("lost")) << content;
    }
}

}  // namespace
