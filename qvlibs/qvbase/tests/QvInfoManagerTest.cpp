// The settings reader: the record after each kind of settings file, the file sets, every rejection in the
// log, retries, limits and the warning's rate limiter.
#include "qvbase/QvInfoManager.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestCommon.h"
#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"
#include "QvTestPlatform.h"

namespace {

using Lines = std::vector<std::string>;
const int64_t kMinuteMillis = 60000;
const std::string kGuidA = "v" + std::string(27, 'A'), kGuidB = "v" + std::string(27, 'B'),
                  kGuidC = "v" + std::string(27, 'C'), kGuidD = "v" + std::string(27, 'D');
const std::string kFileSets =
    "<filesetdef filesetname=\"Documents\" extensions=\"DOC,docx, txt\" />\n"
    "<filesetdef filesetname=\"music\" extensions=\"mp3,flac\" />\n"
    "<filesetdef filesetname=\"pictures\" extensions=\"JPG\" />\n"
    "<filesetdef filesetname=\"documents\" extensions=\"never\" />\n";

std::string Settings(const std::string& attrs, const std::string& body = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo " + attrs + ">\n" + body + "</qvinfo>\n";
}

std::string Volume(const std::string& guid, const std::string& path, const std::string& more = "") {
    return "<qvvolume qvVolumeGuid=\"" + guid + "\" mountPointPath=\"" + path + "\"" + more + " />";
}

std::string DirFilter(const std::string& dir, const std::string& whichFiles) {
    return "<qvdirfilter dir=\"" + dir + "\" whichfiles=\"" + whichFiles + "\" />\n";
}

// The single settings as texts; the scratch volume as "mount guid", the threads as "t8" (throttle flag and count).
enum Field { kDays, kHost, kLogin, kTypes, kUpdated, kScratch, kThreads };
Lines Fields(const ControlPanelSettings& s) {
    return {std::to_string(s.numDaysWarnIfNoBackup), s.onlineHostname.GetText(), s.qvLogin.GetText(),
            s.excludeFileTypes.GetText(), s.onlineHostnameUpdated.GetText(),
            std::string(s.scratchVolume.GetMountPointText()) + " " + s.scratchVolume.volumeGuid,
            (s.netAutoThrottle ? "t" : "f") + std::to_string(s.numBackupThreads)};
}

// The watched-folder records of one parse, released at the end.
struct Records {
    QvHashTable* slots[QV_INFO_MAX_NUM_DIR_FILTERS] = {};
    int32_t count = -1;
    QvHashTable fileTypes{QvInfoManager::kFileTypeTableBuckets};
    bool parsed = QvInfoManager::ParseQvInfoForFilesToWatch(slots, &count, &fileTypes);

    ~Records() { QvInfoManager::ReleaseWatchRecords(slots); }
};

class QvSettingsReader : public QvTestInstallation {
protected:
    std::string Warning(int hits) const {
        return "WARNING: QvInfoManager::ParseQvInfoForFilesToWatch processId=" +
               std::to_string(QvPlatform::GetCurrentProcessId()) +
               ")  excludefiletypes val zero len (hitWarningCount=" + std::to_string(hits) + ") in qvinfo file : " +
               settingsPath;
    }
    void Write(const std::string& xml) { ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, xml)); }
    ControlPanelSettings& Read(const std::string& xml) {
        Write(xml);
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        return QvInfoManager::GetControlPanelSettings();
    }
    // The sets as "name:ext1:ext2".
    Lines ReadFileSets(const std::string& path, int32_t* count) {
        QvStringVector fileSets[QV_INFO_MAX_NUM_FILESETS];
        QvString pathText(path.c_str());
        GetAllFileSetDefsFromQvInfoFile(&pathText, fileSets, count);
        Lines sets;
        for (int32_t i = 0; i < *count; i++) {
            sets.push_back(fileSets[i].GetAt(0)->GetText());
            for (int32_t k = 1; k < fileSets[i].GetCount(); k++)
                sets.back() += std::string(":") + fileSets[i].GetAt(k)->GetText();
        }
        return sets;
    }
};
using QvWatchParse = QvSettingsReader;

TEST_F(QvSettingsReader, PathsAreBuiltOnceAndTheScratchMountPointDefaultsToTheDataDirectorysDrive) {
    EXPECT_EQ(settingsPath, QvInfoManager::GetQvInfoXmlPath()->GetText());
    EXPECT_EQ(settingsPath + ".sidecopy", QvInfoManager::GetQvInfoSideCopyPath()->GetText());
    const struct { const char *dataDir, *mountPoint; } cases[] = {
        {"E:\\ProgramData", "E:\\"}, {"e:", "e:\\"}, {"\\\\server\\share", "C:\\"}, {"E:/data", "C:\\"}};
    for (const auto& c : cases) {
        WriteInstallConfig(c.dataDir);
        EXPECT_STREQ(c.mountPoint, Read(Settings("")).scratchVolume.GetMountPointText()) << c.dataDir;
        EXPECT_EQ(settingsPath, QvInfoManager::GetQvInfoXmlPath()->GetText()) << "the settings path is kept";
    }
}

TEST_F(QvSettingsReader, MissingFileLogsOneWarningAndResetsEveryFieldAnUnreadableOneIsTriedTwentyTimes) {
    ControlPanelSettings& s = Read(Settings(
        "numdays_warn_if_no_backup=\"2\" online_hostname=\"h\" qvlogin=\"bob\" excludefiletypes=\"tmp\" "
        "scratch_mountpoint=\"F:\\\" net_auto_throttle=\"f\" num_backup_threads=\"4\"",
        "<qvblocked_network blocked_network_mac_addr=\"AA:BB\" blocked_network_name=\"Cafe\" />\n" +
            Volume(kGuidA, "E:\\") + "<do_backup>" + DirFilter("C:\\Temp\\", "none") + "</do_backup>\n"));
    ASSERT_EQ(1, s.excludedDirs.GetCount());
    ASSERT_EQ(1, s.blockedNetworkNames.GetCount());
    TakeLog();
    ASSERT_TRUE(QvTestFs::RemoveTree(settingsPath));
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    EXPECT_EQ(Lines{"WARNING: qvinfo.xml file does not exist here=" + settingsPath +
                    ", which is normal in the installer, but bad any other time."}, TakeLog());
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(0, s.blockedNetworkMacAddrs.GetCount() + s.blockedNetworkNames.GetCount() + s.excludedDirs.GetCount() +
                     s.volumes.GetCount());
    Lines fields = Fields(s);
    fields[kUpdated] = "kept";  // not reset by a read
    EXPECT_EQ((Lines{"7", "build-host", "unknown", "", "kept", " ", "t1"}), fields);
    // A file above the read limit can never be read: it is tried twenty times, 200 ms apart.
    ASSERT_TRUE(QvTestFs::MakeSizedFile(settingsPath, 1024000001));
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    EXPECT_EQ(20, QvPlatformTest::GetSleepCount());
    EXPECT_EQ(4000, QvPlatformTest::GetSleptMillis());
    EXPECT_EQ(Lines{"ERROR: could not read qvinfo.xml file from disk 1: " + settingsPath}, TakeLog());
    EXPECT_EQ(1, QvInfoManager::GetControlPanelSettings().numBackupThreads);
}

TEST_F(QvSettingsReader, BadElementsAreLoggedInFileOrderAndSkipped) {
    const std::string net = "<qvblocked_network blocked_network_", noMac = net + "name=\"NoMac\" />",
                      shortMac = net + "mac_addr=\"0\" blocked_network_name=\"ShortMac\" />",
                      noName = net + "mac_addr=\"AA:BB\" />",
                      emptyName = net + "mac_addr=\"CC:DD\" blocked_network_name=\"\" />",
                      filter = "<qvdirfilter dir=\"C:\\\" whichfiles=\"docs,bogus\" />",
                      noGuid = "<qvvolume mountPointPath=\"F:\\\" />",
                      noMount = "<qvvolume qvVolumeGuid=\"" + kGuidB + "\" />";
    ControlPanelSettings& settings = Read(Settings(
        "excludefiletypes=\"tmp\" smartwatchfilesets=\"\"",
        net + "mac_addr=\"00:11:22:33:44:55\" blocked_network_name=\"Cafe\" />\n" + noMac + shortMac + noName +
            emptyName + net + "mac_addr=\"EE:FF\" blocked_network_name=\"H\" />\n" +
            "<filesetdef filesetname=\"docs\" />\n<do_backup>" + filter + "</do_backup>\n" + Volume(kGuidA, "E:\\") +
            noGuid + Volume("vShort", "G:\\") + noMount + Volume(kGuidC, "") + Volume(kGuidD, "D:")));
    const std::string bad = "ERROR: ReadControlPanelSettingsFromQvInfoXmlF", network = bad + "ile - bad XML with ",
                      volume = bad + ", bogus <qvvolume ... /> tag in qvinfo.xml ";
    // Blocked networks, then the watched-folder parse, then the volumes.
    EXPECT_EQ((Lines{network + "no blocked_network_mac_addr=" + noMac,
                     network + "too short blocked_network_mac_addr=" + shortMac,
                     network + "no blocked_network_name=" + noName,
                     network + "too short blocked_network_name=" + emptyName,
                     "ERROR: parsing qvinfo.xml, a qvdirfilter contains a fileset that does not make sense: bogus, "
                     "qvdirfilter=" + filter,
                     volume + "no vGuid: " + noGuid, volume + "bad vGuid: " + Volume("vShort", "G:\\"),
                     volume + "no mnt: " + noMount, volume + "bad mnt: " + Volume(kGuidC, "")}),
              TakeLog());
    EXPECT_EQ((Lines{"00:11:22:33:44:55", "EE:FF"}), Items(settings.blockedNetworkMacAddrs));
    EXPECT_EQ((Lines{"Cafe", "H"}), Items(settings.blockedNetworkNames));
    EXPECT_EQ((Lines{"D:\\", "E:\\"}), Items(settings.volumes));
    EXPECT_EQ(kGuidD, settings.volumes.GetAt(0)->volumeGuid);
}

TEST_F(QvSettingsReader, DuplicateVolumesByGuidOrFoldedPathAreRemovedAndTheRestSorted) {
    WriteInstallConfig(dataDir, "0123456789ABCDEF01234567");
    ControlPanelSettings& settings =
        Read(Settings("", Volume(kGuidA, "E:\\") + Volume(kGuidB, "c:\\data\\") + Volume(kGuidA, "F:\\") +
                              Volume(kGuidC, "C:\\Data\\", " qvlogin=\"eve\"") + Volume(kGuidD, "D:") +
                              Volume("vEEEEEEEEEEEEEEEEEEEEEEEEEEE", "G:/")));
    const std::string dup =
        "ERROR: QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile - removing dup qvvolume qvVolGuid=";
    EXPECT_EQ((Lines{dup + kGuidA + ", mountPoint=E:\\", dup + kGuidB + ", mountPoint=c:\\data\\"}),
              TakeLog("ERROR: QvInfoManager::"));
    EXPECT_EQ((Lines{"c:\\data\\", "D:\\", "E:\\", "G:/"}), Items(settings.volumes));
    const QvVolumeInfo* first = settings.volumes.GetAt(0);
    EXPECT_EQ(kGuidB, first->volumeGuid);
    EXPECT_STREQ("gm", first->typeCode);
    EXPECT_TRUE(first->fromSettings);
    EXPECT_STREQ("0123456789abcdef01234567", first->hguid);
    // Every setting is looked for in the whole text, whatever element carries it.
    EXPECT_STREQ("eve", settings.qvLogin.GetText());
}

TEST_F(QvSettingsReader, SingleSettingsFollowTheirRules) {
    const std::string ones = "v111111111111111111111111111", zeros = "v000000000000000000000000000";
    // Each value replaces the "@" of the attributes; the cases run in order.
    const struct { std::string attrs; Field field; std::vector<std::pair<std::string, std::string>> valuesAndResults; }
    cases[] = {
        {"numdays_warn_if_no_backup=\"@\"", kDays,
         {{"0", "0"}, {"5x", "5"}, {"8", "7"}, {"-1", "7"}, {"abc", "7"}}},
        {"online_hostname=\"@\"", kHost, {{"none", "build-host"}, {"", "build-host"}, {"None", "None"}}},
        {"qvlogin=\"@\"", kLogin, {{"none", "unknown"}, {"", "unknown"}, {"None", "None"}}},
        {"excludefiletypes=\"@\"", kTypes, {{" .TMP,log", " .TMP,log"}}},
        // Not reset by a read: survives a file without it.
        {"online_hostname_updated=\"@\"", kUpdated, {{"2024-01-02", "2024-01-02"}}},
        {"@", kUpdated, {{"", "2024-01-02"}, {"online_hostname_updated=\"\"", ""}}},
        {"scratch_mountpoint=\"F:\\s\" scratch_vol_guid=\"@\"", kScratch,
         {{ones, "F:\\s " + ones}, {"x" + ones.substr(1), "F:\\s " + zeros}, {"v11111", "F:\\s " + zeros}}},
        {"net_auto_throttle=\"@\" num_backup_threads=\"4\"", kThreads, {{"True", "t8"}, {"tx", "t8"}, {"false", "f4"}}},
        {"net_auto_throttle=\"false\" num_backup_threads=\"@\"", kThreads,
         {{"200", "f200"}, {"0", "f8"}, {"201", "f8"}, {"none", "f8"}, {"abc", "f1"}}},
        {"@", kThreads, {{"net_auto_throttle=\"true\"", "t1"}, {"num_backup_threads=\"3\"", "f3"}}},
    };
    for (const auto& c : cases) {
        for (const auto& v : c.valuesAndResults) {
            std::string attrs = c.attrs;
            attrs.replace(attrs.find('@'), 1, v.first);
            EXPECT_EQ(v.second, Fields(Read(Settings(attrs)))[c.field]) << attrs;
        }
    }
}

TEST_F(QvSettingsReader, KeepsFoldersExcludedAsAWholeSortedIgnoringCaseAndMissesTheVolumes) {
    ControlPanelSettings& settings = Read(Settings(
        "excludefiletypes=\".tmp\" smartwatchfilesets=\"\"",
        "<filesetdef filesetname=\"documents\" extensions=\"doc,txt\" />\n<do_backup>\n" +
            DirFilter("C:\\Users\\B\\Temp\\", "none") + DirFilter("C:\\Users\\A\\", "Documents,None") +
            DirFilter("C:\\Users\\\xC3\x89mile\\", "none") + DirFilter("D:\\Photos\\", "all") +
            DirFilter("D:\\Work\\", "documents") + "</do_backup>\n"));
    // Bytes compare as signed values: the UTF-8 folder sorts before the ASCII ones.
    EXPECT_EQ((Lines{"c:\\users\\\xC3\x89mile\\", "c:\\users\\a\\", "c:\\users\\b\\temp\\"}),
              Items(settings.excludedDirs));
    EXPECT_EQ(Lines{"ERROR: ReadControlPanelSettingsFromQvInfoXmlF, found no <qvvolume ... /> tags in qvinfo.xml "
                    "which is bad."}, TakeLog());
}

TEST_F(QvWatchParse, FileSetsKeepTheirNameAsWrittenAndLowerCaseExtensions) {
    const std::string error = "ERROR: GetAllFileSetDefsFromQvInfoFile, ";
    Write(Settings("", "<filesetdef filesetname=\"Docs\" extensions=\"DOC, Txt ,\" />\n"
                       "<filesetdef extensions=\"x\" />\n<filesetdef filesetname=\"One\" extensions=\" Single \" />\n"
                       "<filesetdef filesetname=\"Bare\" />\n"
                       "<filesetdef filesetname=\"Gaps\" extensions=\"a,,b\" />\n"));
    int32_t count = -1;
    EXPECT_EQ((Lines{"Docs:doc:txt", "One: single ", "Bare", "Gaps:a::b"}), ReadFileSets(settingsPath, &count));
    EXPECT_EQ(Lines{error + "QvFile::GetUniqueStrAttrFromXmlSnippet NO filesetdefs name in this filesetdef snippet: "
                            "<filesetdef extensions=\"x\" />"}, TakeLog());
    EXPECT_TRUE(ReadFileSets(temp.Join("none.xml"), &count).empty());
    EXPECT_EQ(0, count);
    EXPECT_EQ(Lines{error + "QvFile::GetAllXmlSnippetsWithTagNameInXmlFile NO filesetdefs in qvinfoFile: " +
                    temp.Join("none.xml")}, TakeLog());
}

TEST_F(QvWatchParse, EmptyExclusionWarningSlowsDownAfterNineHitsAndResumes) {
    Write(Settings("excludefiletypes=\"\" smartwatchfilesets=\"\"",
                   kFileSets + "<do_backup>" + DirFilter("C:\\", "all") + "</do_backup>\n"));
    const std::string name = "QvInfoManager::ParseQvInfoForFilesToWatch ";
    const std::string forced = "INFO: " + name + "logging rate is forced low to prevent log clutter.";
    const std::string resuming = "INFO: " + name + "logging resuming normal rate.";
    auto parse = [&](int64_t advanceMillis) {
        QvPlatformTest::AdvanceFakeClockMillis(advanceMillis);
        Records records;
        EXPECT_TRUE(records.parsed && records.count == 1);
        return TakeLog();
    };
    EXPECT_EQ((Lines{"Initializing warningSuppressionTimerRecord.", Warning(1)}), parse(0));
    for (int n = 2; n <= 9; n++)
        EXPECT_EQ(Lines{Warning(n)}, parse(0)) << "hit " << n;
    EXPECT_EQ(Lines{}, parse(-60 * kMinuteMillis)) << "a clock set back counts as no time passed";
    // Ten minutes and 1 ms after the first hit, with 11 hits in all: back to the normal rate.
    EXPECT_EQ((Lines{Warning(11), forced, resuming}), parse(70 * kMinuteMillis + 1));
    for (int n = 12; n <= 20; n++)
        EXPECT_EQ(Lines{Warning(n)}, parse(0)) << "hit " << n;
    for (int n = 21; n <= 29; n++)
        EXPECT_EQ(Lines{}, parse(kMinuteMillis / 4)) << "hit " << n;
    EXPECT_EQ(Lines{}, parse(10 * kMinuteMillis - 9 * kMinuteMillis / 4)) << "exactly ten minutes after the last line";
    // 20 hits since the last line: the rate stays low.
    EXPECT_EQ((Lines{Warning(31), forced}), parse(1));
    EXPECT_EQ((Lines{Warning(32), forced, resuming}), parse(10 * kMinuteMillis + 1));
    EXPECT_EQ(Lines{Warning(33)}, parse(0));
}

}  // namespace
