// The settings reader: the record after each kind of settings file, every rejected element
// in the log, the retry of an unreadable file, the volume list and the short host name.
#include "qvbase/QvInfoManager.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"
#include "QvTestPlatform.h"

namespace {

const std::string kGuidA = "v" + std::string(27, 'A'), kGuidB = "v" + std::string(27, 'B'),
                  kGuidC = "v" + std::string(27, 'C'), kGuidD = "v" + std::string(27, 'D');

std::string Settings(const std::string& attrs, const std::string& body = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo " + attrs + ">\n" + body + "</qvinfo>\n";
}

std::string Volume(const std::string& guid, const std::string& path, const std::string& more = "") {
    return "<qvvolume qvVolumeGuid=\"" + guid + "\" mountPointPath=\"" + path + "\"" + more + " />";
}

std::vector<std::string> Items(const QvStringVector& vector) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < vector.GetCount(); i++)
        items.push_back(vector.GetAt(i)->GetText());
    return items;
}

std::vector<std::string> MountPoints(const QvVolumeInfoList& volumes) {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < volumes.GetCount(); i++)
        paths.push_back(volumes.GetAt(i)->GetMountPointText());
    return paths;
}

class QvSettingsReader : public QvTestInstallation {
protected:
    ControlPanelSettings& Read(const std::string& xml) {
        EXPECT_TRUE(QvTestFs::WriteFile(settingsPath, xml));
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        return QvInfoManager::GetControlPanelSettings();
    }
};

TEST_F(QvSettingsReader, PathsAreBuiltFromTheDataDirectoryOnceAndKept) {
    EXPECT_EQ(settingsPath, QvInfoManager::GetQvInfoXmlPath()->GetText());
    EXPECT_EQ(settingsPath + ".sidecopy", QvInfoManager::GetQvInfoSideCopyPath()->GetText());
    WriteInstallConfig(temp.Join("elsewhere"));
    EXPECT_EQ(settingsPath, QvInfoManager::GetQvInfoXmlPath()->GetText());
}

TEST_F(QvSettingsReader, MissingFileLogsOneWarningAndResetsEveryField) {
    ControlPanelSettings& settings = Read(Settings(
        "numdays_warn_if_no_backup=\"2\" online_hostname=\"h\" qvlogin=\"bob\" excludefiletypes=\"tmp\" "
        "scratch_mountpoint=\"F:\\\" net_auto_throttle=\"f\" num_backup_threads=\"4\"",
        "<qvblocked_network blocked_network_mac_addr=\"AA:BB\" blocked_network_name=\"Cafe\" />\n" +
            Volume(kGuidA, "E:\\") + "<do_backup><qvdirfilter dir=\"C:\\Temp\\\" whichfiles=\"none\" /></do_backup>\n"));
    ASSERT_EQ(1, settings.excludedDirs.GetCount());
    ASSERT_EQ(1, settings.blockedNetworkNames.GetCount());
    TakeLog();
    ASSERT_TRUE(QvTestFs::RemoveTree(settingsPath));
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    EXPECT_EQ((std::vector<std::string>{"WARNING: qvinfo.xml file does not exist here=" + settingsPath +
                                        ", which is normal in the installer, but bad any other time."}),
              TakeLog());
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(7, settings.numDaysWarnIfNoBackup);
    EXPECT_EQ(0, settings.blockedNetworkMacAddrs.GetCount() + settings.blockedNetworkNames.GetCount() +
                     settings.excludedDirs.GetCount() + settings.volumes.GetCount());
    EXPECT_STREQ("build-host", settings.onlineHostname.GetText());
    EXPECT_STREQ("unknown", settings.qvLogin.GetText());
    EXPECT_STREQ("", settings.excludeFileTypes.GetText());
    EXPECT_STREQ("un", settings.scratchVolume.typeCode);
    EXPECT_STREQ("", settings.scratchVolume.GetMountPointText());
    EXPECT_TRUE(settings.netAutoThrottle);
    EXPECT_EQ(1, settings.numBackupThreads);
}

TEST_F(QvSettingsReader, UnreadableFileIsTriedTwentyTimesTwoHundredMillisecondsApart) {
    // A file above the read limit can never be read: every attempt fails.
    ASSERT_TRUE(QvTestFs::MakeSizedFile(settingsPath, 1024000001));
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    EXPECT_EQ(20, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(4000, QvPlatformTest::GetSleptMillis());
    EXPECT_EQ((std::vector<std::string>{"ERROR: could not read qvinfo.xml file from disk 1: " + settingsPath}), TakeLog());
    EXPECT_EQ(1, QvInfoManager::GetControlPanelSettings().numBackupThreads);
}

TEST_F(QvSettingsReader, BadElementsAreLoggedInFileOrderAndSkipped) {
    const std::string body =
        "<qvblocked_network blocked_network_mac_addr=\"00:11:22:33:44:55\" blocked_network_name=\"Cafe\" />\n"
        "<qvblocked_network blocked_network_name=\"NoMac\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"0\" blocked_network_name=\"ShortMac\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"AA:BB\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"CC:DD\" blocked_network_name=\"\" />\n"
        "<qvblocked_network blocked_network_mac_addr=\"EE:FF\" blocked_network_name=\"Home\" />\n"
        "<filesetdef filesetname=\"docs\" />\n"
        "<do_backup><qvdirfilter dir=\"C:\\\" whichfiles=\"docs,bogus\" /></do_backup>\n" +
        Volume(kGuidA, "E:\\") + "<qvvolume mountPointPath=\"F:\\\" />" + Volume("vShort", "G:\\") +
        "<qvvolume qvVolumeGuid=\"" + kGuidB + "\" />" + Volume(kGuidC, "") + Volume(kGuidD, "D:");
    ControlPanelSettings& settings = Read(Settings("excludefiletypes=\"tmp\" smartwatchfilesets=\"\"", body));

    const std::string network = "ERROR: ReadControlPanelSettingsFromQvInfoXmlFile - bad XML with ";
    const std::string volume = "ERROR: ReadControlPanelSettingsFromQvInfoXmlF, bogus <qvvolume ... /> tag in qvinfo.xml ";
    // Blocked networks, then the watched-folder parse, then the volumes.
    EXPECT_EQ((std::vector<std::string>{
                  network + "no blocked_network_mac_addr=<qvblocked_network blocked_network_name=\"NoMac\" />",
                  network + "too short blocked_network_mac_addr=<qvblocked_network blocked_network_mac_addr=\"0\" "
                            "blocked_network_name=\"ShortMac\" />",
                  network + "no blocked_network_name=<qvblocked_network blocked_network_mac_addr=\"AA:BB\" />",
                  network + "too short blocked_network_name=<qvblocked_network blocked_network_mac_addr=\"CC:DD\" "
                            "blocked_network_name=\"\" />",
                  "ERROR: parsing qvinfo.xml, a qvdirfilter contains a fileset that does not make sense: bogus, "
                  "qvdirfilter=<qvdirfilter dir=\"C:\\\" whichfiles=\"docs,bogus\" />",
                  volume + "no vGuid: <qvvolume mountPointPath=\"F:\\\" />",
                  volume + "bad vGuid: " + Volume("vShort", "G:\\"),
                  volume + "no mnt: <qvvolume qvVolumeGuid=\"" + kGuidB + "\" />",
                  volume + "bad mnt: " + Volume(kGuidC, ""),
              }),
              TakeLog());

    EXPECT_EQ((std::vector<std::string>{"00:11:22:33:44:55", "EE:FF"}), Items(settings.blockedNetworkMacAddrs));
    EXPECT_EQ((std::vector<std::string>{"Cafe", "Home"}), Items(settings.blockedNetworkNames));
    EXPECT_EQ((std::vector<std::string>{"D:\\", "E:\\"}), MountPoints(settings.volumes));
    EXPECT_EQ(kGuidD, settings.volumes.GetAt(0)->volumeGuid);
}

TEST_F(QvSettingsReader, AFileWithoutVolumesLogsThatAndNothingElse) {
    Read(Settings("excludefiletypes=\"tmp\" smartwatchfilesets=\"\"",
                  "<filesetdef filesetname=\"docs\" extensions=\"doc\" />\n"
                  "<do_backup><qvdirfilter dir=\"C:\\\" whichfiles=\"all\" /></do_backup>\n"));
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR: ReadControlPanelSettingsFromQvInfoXmlF, found no <qvvolume ... /> tags in qvinfo.xml which is bad."}),
              TakeLog());
}

TEST_F(QvSettingsReader, DuplicateVolumesByGuidOrFoldedPathAreRemovedAndTheRestSorted) {
    WriteInstallConfig(dataDir, "0123456789ABCDEF01234567");
    ControlPanelSettings& settings =
        Read(Settings("", Volume(kGuidA, "E:\\") + Volume(kGuidB, "c:\\data\\") + Volume(kGuidA, "F:\\") +
                              Volume(kGuidC, "C:\\Data\\", " qvlogin=\"eve\"") + Volume(kGuidD, "D:") +
                              Volume("vEEEEEEEEEEEEEEEEEEEEEEEEEEE", "G:/")));

    const std::string dup = "ERROR: QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile - removing dup qvvolume qvVolGuid=";
    EXPECT_EQ((std::vector<std::string>{dup + kGuidA + ", mountPoint=E:\\", dup + kGuidB + ", mountPoint=c:\\data\\"}),
              TakeLog("ERROR: QvInfoManager::"));
    EXPECT_EQ((std::vector<std::string>{"c:\\data\\", "D:\\", "E:\\", "G:/"}), MountPoints(settings.volumes));
    const QvVolumeInfo* first = settings.volumes.GetAt(0);
    EXPECT_EQ(kGuidB, first->volumeGuid);
    EXPECT_STREQ("gm", first->typeCode);
    EXPECT_TRUE(first->fromSettings);
    EXPECT_STREQ("0123456789abcdef01234567", first->hguid);
    // Every setting is looked for in the whole text, whatever element carries it.
    EXPECT_STREQ("eve", settings.qvLogin.GetText());
}

TEST_F(QvSettingsReader, SingleSettingsFollowTheirRules) {
    using Field = std::string (*)(const ControlPanelSettings&);
    const Field days = [](const ControlPanelSettings& s) { return std::to_string(s.numDaysWarnIfNoBackup); };
    const Field host = [](const ControlPanelSettings& s) { return std::string(s.onlineHostname.GetText()); };
    const Field login = [](const ControlPanelSettings& s) { return std::string(s.qvLogin.GetText()); };
    const Field types = [](const ControlPanelSettings& s) { return std::string(s.excludeFileTypes.GetText()); };
    const Field scratch = [](const ControlPanelSettings& s) {
        return std::string(s.scratchVolume.GetMountPointText()) + " " + s.scratchVolume.volumeGuid;
    };
    // The throttle flag and the thread count: "t8", "f4", ...
    const Field threads = [](const ControlPanelSettings& s) {
        return (s.netAutoThrottle ? "t" : "f") + std::to_string(s.numBackupThreads);
    };
    const std::string ones = "v111111111111111111111111111", zeros = "v000000000000000000000000000";
    // Each value replaces the "@" of the attributes.
    const struct {
        std::string attrs;
        Field field;
        std::vector<std::pair<std::string, std::string>> valuesAndResults;
    } cases[] = {
        {"numdays_warn_if_no_backup=\"@\"", days, {{"3", "3"}, {"0", "0"}, {"5x", "5"}, {"8", "7"}, {"-1", "7"}, {"abc", "7"}}},
        {"online_hostname=\"@\"", host, {{"none", "build-host"}, {"", "build-host"}, {"HOST", "HOST"}, {"None", "None"}}},
        {"qvlogin=\"@\"", login, {{"none", "unknown"}, {"", "unknown"}, {"None", "None"}}},
        {"excludefiletypes=\"@\"", types, {{" .TMP,log", " .TMP,log"}}},
        {"scratch_mountpoint=\"F:\\s\" scratch_vol_guid=\"@\"", scratch,
         {{ones, "F:\\s " + ones}, {"x" + ones.substr(1), "F:\\s " + zeros}, {"v11111", "F:\\s " + zeros}}},
        {"net_auto_throttle=\"@\" num_backup_threads=\"4\"", threads, {{"True", "t8"}, {"tx", "t8"}, {"false", "f4"}}},
        {"net_auto_throttle=\"false\" num_backup_threads=\"@\"", threads,
         {{"200", "f200"}, {"0", "f8"}, {"201", "f8"}, {"none", "f8"}, {"abc", "f1"}}},
        {"@", threads, {{"net_auto_throttle=\"true\"", "t1"}, {"num_backup_threads=\"3\"", "f3"}}},
    };
    for (const auto& c : cases) {
        for (const auto& v : c.valuesAndResults) {
            std::string attrs = c.attrs;
            attrs.replace(attrs.find('@'), 1, v.first);
            EXPECT_EQ(v.second, c.field(Read(Settings(attrs)))) << attrs;
        }
    }
}

TEST_F(QvSettingsReader, HostNameUpdatedSurvivesAReadWithoutIt) {
    EXPECT_STREQ("2024-01-02", Read(Settings("online_hostname_updated=\"2024-01-02\"")).onlineHostnameUpdated.GetText());
    EXPECT_STREQ("2024-01-02", Read(Settings("")).onlineHostnameUpdated.GetText());
    EXPECT_STREQ("", Read(Settings("online_hostname_updated=\"\"")).onlineHostnameUpdated.GetText());
}

TEST_F(QvSettingsReader, ScratchMountPointDefaultsToTheDriveRootOfTheDataDirectory) {
    QvInfoManager::GetQvInfoXmlPath();  // the settings file stays where it is
    const struct { const char* dataDir; const char* mountPoint; } cases[] = {
        {"E:\\ProgramData", "E:\\"}, {"e:", "e:\\"}, {"\\\\server\\share", "C:\\"}, {"E:/data", "C:\\"}};
    for (const auto& c : cases) {
        WriteInstallConfig(c.dataDir);
        EXPECT_STREQ(c.mountPoint, Read(Settings("")).scratchVolume.GetMountPointText()) << c.dataDir;
    }
}

TEST_F(QvSettingsReader, KeepsFoldersExcludedAsAWholeSortedIgnoringCase) {
    const std::string body = "<filesetdef filesetname=\"documents\" extensions=\"doc,txt\" />\n<do_backup>\n"
                             "<qvdirfilter dir=\"C:\\Users\\B\\Temp\\\" whichfiles=\"none\" />\n"
                             "<qvdirfilter dir=\"C:\\Users\\A\\\" whichfiles=\"Documents,None\" />\n"
                             "<qvdirfilter dir=\"C:\\Users\\\xC3\x89mile\\\" whichfiles=\"none\" />\n"
                             "<qvdirfilter dir=\"D:\\Photos\\\" whichfiles=\"all\" />\n"
                             "<qvdirfilter dir=\"D:\\Work\\\" whichfiles=\"documents\" />\n</do_backup>\n";
    ControlPanelSettings& settings = Read(Settings("excludefiletypes=\".tmp\" smartwatchfilesets=\"\"", body));
    // Bytes compare as signed values: the UTF-8 folder sorts before the ASCII ones.
    EXPECT_EQ((std::vector<std::string>{"c:\\users\\\xC3\x89mile\\", "c:\\users\\a\\", "c:\\users\\b\\temp\\"}),
              Items(settings.excludedDirs));
}

TEST(QvShortHostName, IsTheLowerCaseNameUpToTheFirstDotWorkedOutOnce) {
    const struct { bool succeed; const char* platformName; const char* shortName; } cases[] = {
        {true, "Build-Host.example.com", "build-host"}, {true, "PLAIN", "plain"},
        {true, ".local", "unknown"}, {false, "ignored", "unknown"}};
    for (const auto& c : cases) {
        QvPlatformTest::SetFakeHostName(c.succeed, c.platformName);
        QvInfoManagerTest::ForgetShortHostName();
        QvString name("sentinel");
        GetShortHostName(&name);
        EXPECT_STREQ(c.shortName, name.GetText()) << c.platformName;
        QvPlatformTest::SetFakeHostName(true, "Other");
        GetShortHostName(&name);
        EXPECT_STREQ(c.shortName, name.GetText()) << "asked again";
    }
    QvPlatformTest::UseRealHostName();
    QvInfoManagerTest::ForgetShortHostName();
    QvInfoManagerTest::ForgetShortHostName();
    QvString name;
    GetShortHostName(&name);
    std::string text = name.GetText();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::string::npos, text.find_first_of(".ABCDEFGHIJKLMNOPQRSTUVWXYZ")) << text;
}

}  // namespace
