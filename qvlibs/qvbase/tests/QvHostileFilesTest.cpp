// Files written by other programs, at their worst: empty, cut off in the middle of an
// element, binary, not UTF-8, or swapped for a symbolic link. Every reader (settings,
// interface text, host-information flags, send-logs record) must give its documented
// answer without failing loudly. And while another thread rewrites a status file, every
// answer a reader gives is the old value or the new one.
#include <algorithm>
#include <chrono>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
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
#include "system/QvSystemTestHooks.h"

namespace {

const uint64_t kFakeFileTime = (1710496800000ULL + 11644473600000ULL) * 10000;
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

class QvHostileFiles : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvPlatformTest::SetFakeFileTime(kFakeFileTime);
        std::string installDir = temp.MakeDir("install");
        dataDir = temp.MakeDir("data");
        tempDir = temp.MakeDir("tmp");
        temp.MakeDir("elsewhere");
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.MakeDir("registry")));
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook",
                                                      "installdir", installDir));
        temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + dataDir + "\" />\n");
        temp.MakeDir("data\\qvreports");
        for (const char* name : kTempVariables) {
            bool isSet = false;
            savedTempVariables.push_back(QvTestSystem::GetEnv(name, &isSet));
            savedTempVariablesSet.push_back(isSet);
            ASSERT_TRUE(QvTestSystem::SetEnv(name, tempDir));
        }
        QvPlatformTest::ResetTempDirCache();
        QvSystemTest::ResetDirectoryCaches();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvInfoManagerTest::SetFakeHostName(true, "hostile");
        QvUiUtilTest::ResetModule();
        ASSERT_TRUE(QvSystem::SetLocaleCode("en_US"));
        SetLogDirectory(temp.MakeDir("data\\logs").c_str());
    }

    void TearDown() override {
        QvUiUtilTest::ResetModule();
        SetLogDirectory(nullptr);
        for (size_t i = 0; i < savedTempVariables.size(); ++i) {
            if (savedTempVariablesSet[i])
                QvTestSystem::SetEnv(kTempVariables[i], savedTempVariables[i]);
            else
                QvTestSystem::UnsetEnv(kTempVariables[i]);
        }
        QvPlatformTest::ResetTempDirCache();
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvInfoManagerTest::UseRealHostName();
        QvSystemTest::ResetDirectoryCaches();
        QvSystemTest::ResetLocaleOverride();
        QvPlatformTest::UseRealClock();
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

    std::string dataDir;
    std::string tempDir;
    int links = 0;
    std::vector<std::string> savedTempVariables;
    std::vector<bool> savedTempVariablesSet;
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

// ---- A writer rewriting the status files while the readers run -----------------------

// Rewrites a file in place (truncate, then write, as a plain program does) about once a
// millisecond, alternating two contents of the same size. The pause keeps the file whole
// most of the time, as with a real writer: rewriting in a tight loop leaves it empty so
// often that ten reads 100 ms apart can all miss it.
class Rewriter {
public:
    Rewriter(const std::string& path, const std::string& first, const std::string& second)
        : path(path), contents{first, second}, thread([this] { Run(); }) {}
    ~Rewriter() {
        stop = true;
        thread.join();
    }
    long long Rewrites() const { return rewrites; }
    // Waits (at most 10 s) until the writer has rewritten the file n times.
    bool WaitForRewrites(long long n) const {
        for (int i = 0; i < 10000 && rewrites < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return rewrites >= n;
    }

private:
    void Run() {
        for (int i = 0; !stop; ++i) {
            // A reader may hold the file open (on Windows without sharing write access):
            // that rewrite just fails and the next one comes.
            if (QvTestFs::WriteFile(path, contents[i % 2]))
                ++rewrites;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::string path;
    std::string contents[2];
    std::atomic<bool> stop{false};
    std::atomic<long long> rewrites{0};
    std::thread thread;
};

// A read takes microseconds and a rewrite about a millisecond: spread the reads over the
// rewrites.
void PaceReader() { std::this_thread::sleep_for(std::chrono::microseconds(300)); }

// Both versions of the file say the same thing in different bytes, so any answer but that
// one comes from a torn or missed read. The update flag, which reads a file caught short
// again, must never miss; the hide flag reads once, and a file caught empty shows the
// icon: that is counted, not failed.
TEST_F(QvHostileFiles, FlagReadersSeeTheOldOrTheNewFileWhileItIsRewritten) {
    QvPlatformTest::UseRealClock();  // a miss waits for real, so the writer moves on
    const std::string before = "<qvdc_synchostinfo enable_check_for_updates=\"false\" hide_icon=\"true\" padding=\"1\" />\n";
    const std::string after = "<qvdc_synchostinfo enable_check_for_updates=\"FALSE\" hide_icon=\"TRUE\" padding=\"2\" />\n";
    ASSERT_EQ(before.size(), after.size());
    ASSERT_TRUE(QvTestFs::WriteFile(HostInfoPath(), before));
    InitQvUiUtil();
    int updatesEnabled = 0, iconShown = 0;
    long long rewrites = 0;
    int reads = 0;
    {
        Rewriter writer(HostInfoPath(), after, before);
        ASSERT_TRUE(writer.WaitForRewrites(1));
        for (; (reads < 100 || writer.Rewrites() < 20) && reads < 20000; ++reads) {
            updatesEnabled += IsCheckForUpdatesEnabled() ? 1 : 0;
            iconShown += IsHideIconSet() ? 0 : 1;
            PaceReader();
        }
        rewrites = writer.Rewrites();
    }
    EXPECT_EQ(0, updatesEnabled) << "the update flag answered from a torn or missed read";
    std::printf("[ rewrite  ] %d reads of each flag during %lld rewrites: update flag always old or new; "
                "hide flag missed %d times\n", reads, rewrites, iconShown);
}

// The send-logs record: every status read during the rewriting is one of the two whole
// records, with its own amounts; never a mix, never "no job".
TEST_F(QvHostileFiles, SendLogsStatusIsAWholeOldOrNewRecordWhileItIsRewritten) {
    QvPlatformTest::UseRealClock();
    const std::string preparing = SendLogsRecord(1, 4, 10);
    const std::string sending = SendLogsRecord(2, 7, 10);
    ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), preparing));
    int preparingSeen = 0, sendingSeen = 0;
    {
        Rewriter writer(SendLogsPath(), sending, preparing);
        ASSERT_TRUE(writer.WaitForRewrites(1));
        // At least 200 reads, and on until the writer has rewritten the record 20 times
        // (a loaded machine may keep the writer waiting), within a bound.
        for (int i = 0; (i < 200 || writer.Rewrites() < 20) && i < 20000; ++i) {
            uint32_t percent = 0;
            uint64_t done = 0, total = 0;
            int32_t errorCode = -1;
            QvSendLogsRunStatus status = QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode);
            if (status == 1 && done == 4 && total == 10 && percent == 4)
                ++preparingSeen;
            else if (status == 2 && done == 7 && total == 10 && percent == 73)
                ++sendingSeen;
            else
                ADD_FAILURE() << "read " << i << ": status " << status << ", done " << done << ", total " << total
                              << ", percent " << percent;
            PaceReader();
        }
    }
    std::printf("[ rewrite  ] send-logs record: %d preparing, %d sending\n", preparingSeen, sendingSeen);
    EXPECT_GT(preparingSeen + sendingSeen, 0);
}

}  // namespace
