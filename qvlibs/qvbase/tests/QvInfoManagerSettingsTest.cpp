// The settings reader: the record after each kind of settings file, every rejected
// element in the log with its exact line, the retry of an unreadable file (waits counted
// on the fake clock), the volume list's duplicates and order, and the short host name.
#include "qvbase/QvInfoManager.h"

#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "config/QvInfoManagerTestHooks.h"
#include "log/QvLogTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"
#include "system/QvSystemTestHooks.h"

namespace {

// 2024-03-05 08:00:00 UTC as file time: the log goes to the file of day 5.
const uint64_t kStartFileTime = (1709625600000ULL + 11644473600000ULL) * 10000;
const char* const kGuidA = "vAAAAAAAAAAAAAAAAAAAAAAAAAAA";
const char* const kGuidB = "vBBBBBBBBBBBBBBBBBBBBBBBBBBB";
const char* const kGuidC = "vCCCCCCCCCCCCCCCCCCCCCCCCCCC";
const char* const kGuidD = "vDDDDDDDDDDDDDDDDDDDDDDDDDDD";
const char* const kGuidE = "vEEEEEEEEEEEEEEEEEEEEEEEEEEE";

void PutEnv(const std::string& name, const std::string& value) {
    static std::list<std::string> entries;  // putenv keeps the pointer it is given
    entries.push_back(name + "=" + value);
    putenv(&entries.back()[0]);
}

std::vector<std::string> Items(const QvStringVector& vector) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < vector.GetCount(); i++)
        items.push_back(vector.GetAt(i)->GetText());
    return items;
}

class QvSettingsReader : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvLogTest::ForgetLastCleanupTime();
        // On POSIX the data directory follows these variables; keep it in the test folder.
        PutEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles"));
        PutEnv("QV_COMMON_APPDATA", temp.Join("AppData"));
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::SetFakeFileTime(kStartFileTime);
        SetLogDirectory(temp.Join("logs\\qvtest").c_str());
        settingsPath = temp.Join("qvinfo.xml");
        QvInfoManagerTest::SetQvInfoXmlPath(settingsPath.c_str());
        QvInfoManagerTest::SetFakeHostName(true, "Build-Host.example.com");
        QvInfoManagerTest::ForgetShortHostName();
        QvInfoManagerTest::ResetWarningRateLimiter();
    }
    void TearDown() override {
        SetLogDirectory(nullptr);
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvInfoManagerTest::UseRealHostName();
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    // Writes the settings file and reads it into the process-wide record.
    ControlPanelSettings& Read(const std::string& xml) {
        EXPECT_TRUE(QvTestFs::WriteFile(settingsPath, xml));
        QvPlatformTest::ResetSleepCounters();
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        return QvInfoManager::GetControlPanelSettings();
    }
    // The settings file with attrs on its root element and body inside it.
    static std::string Settings(const std::string& attrs, const std::string& body = "") {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo " + attrs + ">\n" + body + "</qvinfo>\n";
    }

    // Messages of the day's log lines (time stamp and process id cut off), in order.
    std::vector<std::string> LogMessages(const std::string& prefix = "") const {
        QvString path;
        GetLogFilePath(5, &path);
        std::string content;
        QvTestFs::ReadFile(path.GetText(), &content);
        std::vector<std::string> messages;
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos)
                end = content.size();
            std::string line = content.substr(start, end - start);
            size_t dash = line.find(" - ", 20);
            std::string message = dash == std::string::npos ? line : line.substr(dash + 3);
            if (message.compare(0, prefix.size(), prefix) == 0)
                messages.push_back(message);
            start = end + 1;
        }
        return messages;
    }

    std::string settingsPath;
};

TEST_F(QvSettingsReader, MissingFileLogsOneWarningAndLeavesResetValues) {
    ControlPanelSettings& settings = Read(Settings("numdays_warn_if_no_backup=\"2\" net_auto_throttle=\"f\""));
    ASSERT_EQ(2, settings.numDaysWarnIfNoBackup);
    ASSERT_FALSE(settings.netAutoThrottle);

    // The next read finds no file; a fresh log directory holds only what it writes.
    std::string missing = temp.Join("missing\\qvinfo.xml");
    QvInfoManagerTest::SetQvInfoXmlPath(missing.c_str());
    SetLogDirectory(temp.Join("logs2\\qvtest").c_str());
    QvPlatformTest::ResetSleepCounters();
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();

    EXPECT_EQ((std::vector<std::string>{"WARNING: qvinfo.xml file does not exist here=" + missing +
                                        ", which is normal in the installer, but bad any other time."}),
              LogMessages());
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(7, settings.numDaysWarnIfNoBackup);
    EXPECT_STREQ("build-host", settings.onlineHostname.GetText());
    EXPECT_STREQ("unknown", settings.qvLogin.GetText());
    EXPECT_EQ(0, settings.volumes.GetCount());
    EXPECT_EQ(0, settings.blockedNetworkMacAddrs.GetCount());
    EXPECT_STREQ("un", settings.scratchVolume.typeCode);
    EXPECT_STREQ("", settings.scratchVolume.GetMountPointText());
    EXPECT_TRUE(settings.netAutoThrottle);
    EXPECT_EQ(1, settings.numBackupThreads);
}

TEST_F(QvSettingsReader, UnreadableFileIsTriedTwentyTimesTwoHundredMillisecondsApart) {
    // A file above the read limit can never be read: every attempt fails.
    ASSERT_TRUE(QvTestFs::MakeSizedFile(settingsPath, 1024000001));
    QvPlatformTest::ResetSleepCounters();
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    EXPECT_EQ(20, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(4000, QvPlatformTest::GetSleptMillis());
    EXPECT_EQ((std::vector<std::string>{"ERROR: could not read qvinfo.xml file from disk 1: " + settingsPath}),
              LogMessages());
    EXPECT_EQ(1, QvInfoManager::GetControlPanelSettings().numBackupThreads);
}

TEST_F(QvSettingsReader, ReadableFileIsReadWithoutWaiting) {
    Read(Settings("numdays_warn_if_no_backup=\"4\""));
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(4, QvInfoManager::GetControlPanelSettings().numDaysWarnIfNoBackup);
}

TEST_F(QvSettingsReader, BadElementsAreLoggedAndSkippedAndTheRestIsRead) {
    const std::string body =
        "<qvblocked_network blocked_network_mac_addr=\"00:11:22:33:44:55\" blocked_network_name=\"Cafe\" />\n"
        "<qvblocked_network blocked_network_name=\"NoMac\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"0\" blocked_network_name=\"ShortMac\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"AA:BB\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"CC:DD\" blocked_network_name=\"\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"EE:FF\" blocked_network_name=\"Home\" />\n"
        "<qvvolume qvVolumeGuid=\"" + std::string(kGuidA) + "\" mountPointPath=\"E:\\\" />\n"
        "<qvvolume mountPointPath=\"F:\\\" />\n"
        "<qvvolume qvVolumeGuid=\"vShort\" mountPointPath=\"G:\\\" />\n"
        "<qvvolume qvVolumeGuid=\"" + std::string(kGuidB) + "\" />\n"
        "<qvvolume qvVolumeGuid=\"" + std::string(kGuidC) + "\" mountPointPath=\"\" />\n"
        "<qvvolume qvVolumeGuid=\"" + std::string(kGuidD) + "\" mountPointPath=\"D:\" />\n";
    ControlPanelSettings& settings = Read(Settings("numdays_warn_if_no_backup=\"3\" qvlogin=\"bob\"", body));

    const std::string network = "ERROR: ReadControlPanelSettingsFromQvInfoXmlFile - bad XML with ";
    const std::string volume = "ERROR: ReadControlPanelSettingsFromQvInfoXmlF, bogus <qvvolume ... /> tag in qvinfo.xml ";
    EXPECT_EQ((std::vector<std::string>{
                  network + "no blocked_network_mac_addr=<qvblocked_network blocked_network_name=\"NoMac\" />",
                  network + "too short blocked_network_mac_addr=<qvblocked_network blocked_network_mac_addr=\"0\" "
                            "blocked_network_name=\"ShortMac\" />",
                  network + "no blocked_network_name=<qvblocked_network blocked_network_mac_addr=\"AA:BB\" />",
                  network + "too short blocked_network_name=<qvblocked_network blocked_network_mac_addr=\"CC:DD\" "
                            "blocked_network_name=\"\" />",
                  volume + "no vGuid: <qvvolume mountPointPath=\"F:\\\" />",
                  volume + "bad vGuid: <qvvolume qvVolumeGuid=\"vShort\" mountPointPath=\"G:\\\" />",
                  volume + "no mnt: <qvvolume qvVolumeGuid=\"" + kGuidB + "\" />",
                  volume + "bad mnt: <qvvolume qvVolumeGuid=\"" + kGuidC + "\" mountPointPath=\"\" />",
              }),
              LogMessages("ERROR: ReadControlPanelSettings"));

    EXPECT_EQ((std::vector<std::string>{"00:11:22:33:44:55", "EE:FF"}), Items(settings.blockedNetworkMacAddrs));
    EXPECT_EQ((std::vector<std::string>{"Cafe", "Home"}), Items(settings.blockedNetworkNames));
    ASSERT_EQ(2, settings.volumes.GetCount());
    EXPECT_STREQ("D:\\", settings.volumes.GetAt(0)->GetMountPointText());
    EXPECT_STREQ(kGuidD, settings.volumes.GetAt(0)->volumeGuid);
    EXPECT_STREQ("E:\\", settings.volumes.GetAt(1)->GetMountPointText());
    EXPECT_EQ(3, settings.numDaysWarnIfNoBackup);
    EXPECT_STREQ("bob", settings.qvLogin.GetText());
}

TEST_F(QvSettingsReader, NoVolumeElementIsLogged) {
    Read(Settings("qvlogin=\"bob\""));
    EXPECT_EQ((std::vector<std::string>{"ERROR: ReadControlPanelSettingsFromQvInfoXmlF, found no <qvvolume ... /> "
                                        "tags in qvinfo.xml which is bad."}),
              LogMessages("ERROR: ReadControlPanelSettings"));
}

TEST_F(QvSettingsReader, DuplicateVolumesByGuidOrFoldedPathAreRemovedAndTheRestSorted) {
    auto volume = [](const char* guid, const char* path) {
        return std::string("<qvvolume qvVolumeGuid=\"") + guid + "\" mountPointPath=\"" + path + "\" />\n";
    };
    ControlPanelSettings& settings =
        Read(Settings("", volume(kGuidA, "E:\\") + volume(kGuidB, "c:\\data\\") + volume(kGuidA, "F:\\") +
                              volume(kGuidC, "C:\\Data\\") + volume(kGuidD, "D:") + volume(kGuidE, "G:/")));

    const std::string dup = "ERROR: QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile - removing dup qvvolume qvVolGuid=";
    EXPECT_EQ((std::vector<std::string>{dup + kGuidA + ", mountPoint=E:\\", dup + kGuidB + ", mountPoint=c:\\data\\"}),
              LogMessages("ERROR: QvInfoManager::"));
    std::vector<std::string> paths;
    for (int32_t i = 0; i < settings.volumes.GetCount(); i++)
        paths.push_back(settings.volumes.GetAt(i)->GetMountPointText());
    EXPECT_EQ((std::vector<std::string>{"c:\\data\\", "D:\\", "E:\\", "G:/"}), paths);

    QvString hguid;
    QvSystem::GetHguid(&hguid);
    const QvVolumeInfo* first = settings.volumes.GetAt(0);
    EXPECT_STREQ(kGuidB, first->volumeGuid);
    EXPECT_STREQ("gm", first->typeCode);
    EXPECT_TRUE(first->fromSettings);
    EXPECT_STREQ(hguid.GetText(), first->hguid);
}

TEST_F(QvSettingsReader, NumberOfDaysOutsideZeroToSevenBecomesSeven) {
    struct Case {
        const char* attrs;
        int32_t days;
    } cases[] = {
        {"numdays_warn_if_no_backup=\"3\"", 3},  {"numdays_warn_if_no_backup=\"8\"", 7},
        {"numdays_warn_if_no_backup=\"-1\"", 7}, {"numdays_warn_if_no_backup=\"abc\"", 7},
        {"numdays_warn_if_no_backup=\"5x\"", 5}, {"numdays_warn_if_no_backup=\"0\"", 0},
        {"numdays_warn_if_no_backup=\"\"", 7},   {"", 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.days, Read(Settings(c.attrs)).numDaysWarnIfNoBackup) << c.attrs;
}

TEST_F(QvSettingsReader, HostNameAndLoginFallBackOnlyForTheirPlaceholderWords) {
    struct Case {
        const char* attrs;
        const char* hostname;
        const char* login;
    } cases[] = {
        {"online_hostname=\"none\" qvlogin=\"unknown\"", "build-host", "unknown"},
        {"online_hostname=\"\" qvlogin=\"none\"", "build-host", "unknown"},
        {"online_hostname=\"HOST\" qvlogin=\"\"", "HOST", "unknown"},
        {"online_hostname=\"None\" qvlogin=\"None\"", "None", "None"},
        {"qvlogin=\"Unknown\"", "build-host", "Unknown"},
        {"", "build-host", "unknown"},
    };
    for (const Case& c : cases) {
        ControlPanelSettings& settings = Read(Settings(c.attrs));
        EXPECT_STREQ(c.hostname, settings.onlineHostname.GetText()) << c.attrs;
        EXPECT_STREQ(c.login, settings.qvLogin.GetText()) << c.attrs;
    }
}

TEST_F(QvSettingsReader, HostNameUpdatedSurvivesAReadWithoutIt) {
    EXPECT_STREQ("2024-01-02", Read(Settings("online_hostname_updated=\"2024-01-02\"")).onlineHostnameUpdated.GetText());
    EXPECT_STREQ("2024-01-02", Read(Settings("")).onlineHostnameUpdated.GetText());
    EXPECT_STREQ("", Read(Settings("online_hostname_updated=\"\"")).onlineHostnameUpdated.GetText());
}

TEST_F(QvSettingsReader, ThreadCountFollowsTheThrottleAndItsRange) {
    struct Case {
        const char* attrs;
        bool throttle;
        int32_t threads;
    } cases[] = {
        {"net_auto_throttle=\"True\" num_backup_threads=\"4\"", true, 8},
        {"net_auto_throttle=\"false\" num_backup_threads=\"4\"", false, 4},
        {"net_auto_throttle=\"false\" num_backup_threads=\"0\"", false, 8},
        {"net_auto_throttle=\"false\" num_backup_threads=\"201\"", false, 8},
        {"net_auto_throttle=\"false\" num_backup_threads=\"200\"", false, 200},
        {"net_auto_throttle=\"false\" num_backup_threads=\"none\"", false, 8},
        {"net_auto_throttle=\"false\" num_backup_threads=\"\"", false, 8},
        {"net_auto_throttle=\"false\" num_backup_threads=\"abc\"", false, 1},
        {"net_auto_throttle=\"false\"", false, 1},
        {"net_auto_throttle=\"true\"", true, 1},
        {"net_auto_throttle=\"tx\" num_backup_threads=\"3\"", true, 8},
        {"net_auto_throttle=\"\" num_backup_threads=\"3\"", false, 3},
        {"num_backup_threads=\"3\"", false, 3},
    };
    for (const Case& c : cases) {
        ControlPanelSettings& settings = Read(Settings(c.attrs));
        EXPECT_EQ(c.throttle, settings.netAutoThrottle) << c.attrs;
        EXPECT_EQ(c.threads, settings.numBackupThreads) << c.attrs;
    }
}

TEST_F(QvSettingsReader, ScratchVolumeTakesItsAttributesOrDefaults) {
    struct Case {
        const char* attrs;
        const char* mountPoint;
        const char* guid;
    } cases[] = {
        {"scratch_mountpoint=\"F:\\scratch\" scratch_vol_guid=\"v111111111111111111111111111\"", "F:\\scratch",
         "v111111111111111111111111111"},
        {"scratch_mountpoint=\"F:\\\" scratch_vol_guid=\"x111111111111111111111111111\"", "F:\\",
         "v000000000000000000000000000"},
        {"scratch_mountpoint=\"F:\\\" scratch_vol_guid=\"v11111\"", "F:\\", "v000000000000000000000000000"},
    };
    for (const Case& c : cases) {
        ControlPanelSettings& settings = Read(Settings(c.attrs));
        EXPECT_STREQ(c.mountPoint, settings.scratchVolume.GetMountPointText()) << c.attrs;
        EXPECT_STREQ(c.guid, settings.scratchVolume.volumeGuid) << c.attrs;
    }
}

TEST_F(QvSettingsReader, ScratchMountPointDefaultsToTheDriveRootOfTheDataDirectory) {
    QvString dataDir;
    QvSystem::GetDataDir(&dataDir);
    std::string dir = dataDir.GetText();
    std::string expected = dir.size() >= 3 && dir[1] == ':' && dir[2] == '\\' ? dir.substr(0, 3) : "C:\\";
    EXPECT_STREQ(expected.c_str(), Read(Settings("")).scratchVolume.GetMountPointText());

    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "the data directory of Windows lies where its known folder says; the drive cases below "
                        "move it through the POSIX variables";
    struct Case {
        const char* commonAppData;
        const char* mountPoint;
    } cases[] = {{"E:\\ProgramData", "E:\\"}, {"\\\\server\\share", "C:\\"}};
    for (const Case& c : cases) {
        PutEnv("QV_COMMON_APPDATA", c.commonAppData);
        QvSystemTest::ResetDirectoryCaches();
        EXPECT_STREQ(c.mountPoint, Read(Settings("")).scratchVolume.GetMountPointText()) << c.commonAppData;
    }
}

TEST_F(QvSettingsReader, SettingsAreFoundOnAnyElement) {
    ControlPanelSettings& settings =
        Read(Settings("", "<qvvolume qvVolumeGuid=\"" + std::string(kGuidA) +
                              "\" mountPointPath=\"C:\\\" num_backup_threads=\"6\" qvlogin=\"eve\" />\n"));
    EXPECT_EQ(6, settings.numBackupThreads);
    EXPECT_STREQ("eve", settings.qvLogin.GetText());
}

TEST_F(QvSettingsReader, KeepsFoldersExcludedAsAWholeSortedIgnoringCase) {
    const std::string body =
        "<filesetdef filesetname=\"documents\" extensions=\"doc,txt\" />\n"
        "<do_backup>\n"
        "<qvdirfilter dir=\"C:\\Users\\B\\Temp\\\" whichfiles=\"none\" />\n"
        "<qvdirfilter dir=\"C:\\Users\\A\\\" whichfiles=\"Documents,None\" />\n"
        "<qvdirfilter dir=\"D:\\Photos\\\" whichfiles=\"all\" />\n"
        "<qvdirfilter dir=\"D:\\Work\\\" whichfiles=\"documents\" />\n"
        "</do_backup>\n";
    ControlPanelSettings& settings = Read(Settings("excludefiletypes=\".tmp\" smartwatchfilesets=\"\"", body));
    EXPECT_EQ((std::vector<std::string>{"c:\\users\\a\\", "c:\\users\\b\\temp\\"}), Items(settings.excludedDirs));
    EXPECT_STREQ(".tmp", settings.excludeFileTypes.GetText());
}

TEST_F(QvSettingsReader, SettingsPathIsTheDataDirectoryWithTheFileName) {
    QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
    QvString dataDir;
    QvSystem::GetDataDir(&dataDir);
    std::string expected = std::string(dataDir.GetText()) + "qvinfo.xml";
    EXPECT_EQ(expected, QvInfoManager::GetQvInfoXmlPath()->GetText());
    EXPECT_EQ(expected + ".sidecopy", QvInfoManager::GetQvInfoSideCopyPath()->GetText());
    if (!QvTestFs::IsWindows()) {
        EXPECT_EQ(temp.Join("AppData\\Velbrook\\qvdata\\qvinfo.xml"), QvInfoManager::GetQvInfoXmlPath()->GetText());
    }
}

TEST(QvShortHostName, IsTheLowerCaseNameUpToTheFirstDot) {
    struct Case {
        bool succeed;
        const char* platformName;
        const char* shortName;
    } cases[] = {
        {true, "Build-Host.example.com", "build-host"},
        {true, "PLAIN", "plain"},
        {true, ".local", "unknown"},
        {true, "", "unknown"},
        {false, "ignored", "unknown"},
    };
    for (const Case& c : cases) {
        QvInfoManagerTest::SetFakeHostName(c.succeed, c.platformName);
        QvInfoManagerTest::ForgetShortHostName();
        QvString name("sentinel");
        GetShortHostName(&name);
        EXPECT_STREQ(c.shortName, name.GetText()) << c.platformName;
    }
    QvInfoManagerTest::UseRealHostName();
}

TEST(QvShortHostName, AsksThePlatformOnlyOnce) {
    QvInfoManagerTest::SetFakeHostName(true, "First");
    QvInfoManagerTest::ForgetShortHostName();
    QvString name;
    GetShortHostName(&name);
    QvInfoManagerTest::SetFakeHostName(true, "Second");
    GetShortHostName(&name);
    EXPECT_STREQ("first", name.GetText());
    QvInfoManagerTest::UseRealHostName();
}

TEST(QvShortHostName, RealNameHasNoDotAndNoUpperCase) {
    QvInfoManagerTest::UseRealHostName();
    QvString name;
    GetShortHostName(&name);
    std::string text = name.GetText();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::string::npos, text.find('.')) << text;
    for (char c : text)
        EXPECT_FALSE(c >= 'A' && c <= 'Z') << text;
}

}  // namespace
