// Four threads released together on cold caches, as in the client's multi-threaded programs: the
// log writer, interface-text lookups, the status readers and the one settings thread. Every
// answer must be the single-threaded one; the log holds exactly the writer's lines, whole, in order.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvUiUtil.h"
#include "QvTestPlatform.h"

namespace {

const int kRounds = 300;

// Every key looked up has its English text, so no lookup writes a log line.
const char* const kInterfaceXml =
    "<qvbui_interface>\n<qvbui_text lang=\"en_US\" MainDialog_Button_RestoreOptions=\"Restore Options...\"\n"
    " progress=\"Progress\" TrayMenuItem_Help=\"Help\" TrayMenuItem_Quit=\"Quit &amp; close\" />\n"
    "<qvbui_text lang=\"de_DE\" TrayMenuItem_Help=\"Hilfe\" />\n</qvbui_interface>\n";
const char* const kTexts = "Restore Options...|Progress|Help|Quit & close|de_DE";

// A complete settings file: read without a single log line.
const std::string kSettingsXml =
    "<qvinfo qvlogin=\"ann@example.com\" online_hostname=\"none\" qvui_locale=\"de_DE\"\n"
    " numdays_warn_if_no_backup=\"3\" excludefiletypes=\".tmp,bak\" smartwatchfilesets=\"docs\"\n"
    " net_auto_throttle=\"false\" num_backup_threads=\"4\" scratch_mountpoint=\"E:\\\">\n"
    "<filesetdef filesetname=\"docs\" extensions=\"doc,PDF\" />\n"
    "<do_backup><qvdirfilter dir=\"C:\\Users\\Ann\" whichfiles=\"smartwatchfilesets\" />"
    "<qvdirfilter dir=\"C:\\Users\\Ann\\Temp\" whichfiles=\"none\" /></do_backup>\n"
    "<qvblocked_network blocked_network_mac_addr=\"00:11:22\" blocked_network_name=\"Cafe\" />\n"
    "<qvvolume qvVolumeGuid=\"v" + std::string(27, 'D') + "\" mountPointPath=\"D:\\\" />\n"
    "<qvvolume qvVolumeGuid=\"v" + std::string(27, 'C') + "\" mountPointPath=\"C:\\\" />\n</qvinfo>\n";
const std::string kSettingsRecord = "3|00:11:22|Cafe|c:\\users\\ann\\temp|build-host ann@example.com .tmp,bak|v" +
                                    std::string(27, 'C') + " C:\\ gm|v" + std::string(27, 'D') +
                                    " D:\\ gm|E:\\ v000000000000000000000000000|0 4";

// The send-logs record (sending, 30 of 60 done, error 5) and what the status readers give.
const char* const kStatus = "hide 1, updates 0, send-logs 2 55% 30/60 error 5";

// Two cached keys and two looked up afresh each time, then the locale.
std::string Texts() {
    std::string texts;
    for (const char* key : {"MainDialog_Button_RestoreOptions", "progress", "TrayMenuItem_Help", "TrayMenuItem_Quit"})
        texts += QvTestInstallation::LookUp(key) + "|";
    return texts + GetQvUiLocale().GetText();
}

std::string Status() {
    return "hide " + std::to_string(int(IsHideIconSet())) + ", updates " +
           std::to_string(int(IsCheckForUpdatesEnabled())) + ", send-logs " + QvTestInstallation::SendLogsStatus(0);
}

// The values computed on first use and then cached, in one text.
std::string MachineValues() {
    QvString install, data, hguid, temp, host;
    QvSystem::GetInstallDir(&install);
    QvSystem::GetDataDir(&data);
    QvSystem::GetHguid(&hguid);
    QvFile::GetTempDir(&temp);
    GetShortHostName(&host);
    return std::string(install.GetText()) + "|" + data.GetText() + "|" + hguid.GetText() + "|" + temp.GetText() +
           "|" + host.GetText() + "|" + QvSystem::GetLocaleCode();
}

std::string Describe(const ControlPanelSettings& s) {
    std::string d = std::to_string(s.numDaysWarnIfNoBackup);
    auto add = [&d](const std::string& part) { d += "|" + part; };
    for (const QvStringVector* list : {&s.blockedNetworkMacAddrs, &s.blockedNetworkNames, &s.excludedDirs})
        for (int32_t i = 0; i < list->GetCount(); i++)
            add(list->GetAt(i)->GetText());
    add(std::string(s.onlineHostname.GetText()) + " " + s.qvLogin.GetText() + " " + s.excludeFileTypes.GetText());
    for (int32_t i = 0; i < s.volumes.GetCount(); i++)
        add(std::string(s.volumes.GetAt(i)->volumeGuid) + " " + s.volumes.GetAt(i)->GetMountPointText() + " " +
            s.volumes.GetAt(i)->typeCode);
    add(std::string(s.scratchVolume.GetMountPointText()) + " " + s.scratchVolume.volumeGuid);
    add(std::to_string(int(s.netAutoThrottle)) + " " + std::to_string(s.numBackupThreads));
    return d;
}

using QvConcurrency = QvTestInstallation;

TEST_F(QvConcurrency, FourThreadsOnColdCachesGiveTheSingleThreadedAnswers) {
    temp.MakeFile("install\\qvbui_interface.xml", kInterfaceXml);
    temp.MakeFile("data\\qvinfo.xml", kSettingsXml);
    temp.MakeFile("data\\qvreports\\qvdc_synchostinfo.xml",
                  "<qvdc_synchostinfo hide_icon=\"TRUE\" enable_check_for_updates=\"false\" />");
    ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), SendLogsRecord(2, 30, 60, 5)));

    // One thread first, on caches as a new process has them: the answers every thread must give.
    ForgetModuleState();
    QvLogTest::ForgetLastCleanupTime();
    const std::string machine = MachineValues();
    ASSERT_EQ(kTexts, Texts());
    ASSERT_EQ(kStatus, Status());
    ControlPanelSettings& settings = QvInfoManager::GetControlPanelSettings();
    ASSERT_EQ(kSettingsRecord, Describe(settings));
    ASSERT_EQ(std::vector<std::string>(), TakeLog());

    ForgetModuleState();
    QvLogTest::ForgetLastCleanupTime();
    settings.qvLogin.Set("from before");  // the record must be read again
    const struct {
        std::function<std::string(int round)> answer;
        std::string expected;
    } work[] = {
        {[](int round) {  // the log writer
             QvString line(("line " + std::to_string(round)).c_str());
             WriteLogLine(&line);
             WriteLogText(("text " + std::to_string(round)).c_str());
             LogMessage(QV_LOG_LEVEL_NOTE, "QvConcurrencyTest.cpp", round, "void QvConcurrencyWriter(int)",
                        "message %d", round);
             return std::string();
         }, ""},
        {[](int) { return MachineValues() + "#" + Texts(); }, machine + "#" + kTexts},
        {[](int) { return MachineValues() + "#" + Status(); }, machine + "#" + kStatus},
        {[&settings](int round) {  // the one thread that uses the settings record
             if (round == 0)
                 InitQvUiUtil();
             QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
             return Describe(settings);
         }, kSettingsRecord},
    };
    std::atomic<int> waiting{4};  // the threads start together once all have arrived
    std::vector<std::string> wrong[4];  // each thread's first few wrong answers
    std::vector<std::thread> threads;
    for (size_t i = 0; i < 4; i++)
        threads.emplace_back([&, i] {
            for (--waiting; waiting > 0;)
                std::this_thread::yield();
            for (int round = 0; round < kRounds; round++) {
                std::string got = work[i].answer(round);
                if (got != work[i].expected && wrong[i].size() < 5)
                    wrong[i].push_back(got);
            }
        });
    for (size_t i = 0; i < 4; i++) {
        threads[i].join();
        EXPECT_EQ(std::vector<std::string>(), wrong[i]) << "thread " << i + 1 << " instead of " << work[i].expected;
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount()) << "no file was ever caught short";

    // The log: the writer's lines, whole and in its order, each "YYYY-MM-DD HH:MM:SS %10d - text".
    char front[64];
    snprintf(front, sizeof front, "2024-03-15 10:00:00 %10d - ", int(QvPlatform::GetCurrentProcessId()));
    std::string expected, content;
    for (int round = 0; round < kRounds; round++) {
        std::string n = std::to_string(round);
        for (const std::string& text :
             {"line " + n, "text " + n, "QvConcurrencyTest.cpp:" + n + " [QvConcurrencyWriter()] NOTE:\tmessage " + n})
            expected += front + text + "\n";
    }
    QvString logPath;
    GetLogFilePath(15, &logPath);
    ASSERT_TRUE(QvTestFs::ReadFile(logPath.GetText(), &content));
    size_t at = size_t(std::mismatch(expected.begin(), expected.end(), content.begin(), content.end()).first -
                       expected.begin());
    EXPECT_TRUE(content == expected) << "the log differs from line "
                                     << std::count(content.begin(), content.begin() + at, '\n') + 1 << ": \""
                                     << content.substr(content.rfind('\n', at) + 1, 160) << "\"";
}

}  // namespace
