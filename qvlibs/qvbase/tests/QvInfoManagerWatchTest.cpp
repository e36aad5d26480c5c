// File sets and watched folders: the records built from a realistic settings file, the
// excluded file types, the limits on file sets and folders, every rejection in the log,
// and the rate limiter of the empty-exclusion warning moved through its windows on the
// fake clock.
#include "qvbase/QvInfoManager.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "config/QvInfoManagerTestHooks.h"
#include "log/QvLogTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "system/QvSystemTestHooks.h"

namespace {

// 2024-03-05 08:00:00 UTC as file time: the log goes to the file of day 5.
const uint64_t kStartFileTime = (1709625600000ULL + 11644473600000ULL) * 10000;
const int64_t kMinuteMillis = 60000;

void PutEnv(const std::string& name, const std::string& value) {
    static std::list<std::string> entries;  // putenv keeps the pointer it is given
    entries.push_back(name + "=" + value);
    putenv(&entries.back()[0]);
}

const std::string kFileSets =
    "<filesetdef filesetname=\"Documents\" extensions=\"DOC,docx, txt\" />\n"
    "<filesetdef filesetname=\"music\" extensions=\"mp3,flac\" />\n"
    "<filesetdef filesetname=\"pictures\" extensions=\"JPG\" />\n"
    "<filesetdef filesetname=\"documents\" extensions=\"never\" />\n";

const std::string kOneFolder = "<do_backup><qvdirfilter dir=\"C:\\\" whichfiles=\"all\" /></do_backup>\n";

std::string Settings(const std::string& attrs, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo " + attrs + ">\n" + body + "</qvinfo>\n";
}

std::string DirFilter(const std::string& dir, const std::string& whichFiles) {
    return "<qvdirfilter dir=\"" + dir + "\" whichfiles=\"" + whichFiles + "\" />\n";
}

// The watched-folder records of one parse, owned and released here.
struct Records {
    QvHashTable* slots[QV_INFO_MAX_NUM_DIR_FILTERS] = {};
    int32_t count = -1;
    QvHashTable fileTypes{QvInfoManager::kFileTypeTableBuckets};
    bool parsed = false;

    Records() { parsed = QvInfoManager::ParseQvInfoForFilesToWatch(slots, &count, &fileTypes); }
    ~Records() { QvInfoManager::ReleaseWatchRecords(slots); }

    const QvHashTable* Named(const std::string& name) const {
        for (int32_t i = 0; i < count; i++) {
            if (slots[i]->GetName() != nullptr && name == slots[i]->GetName())
                return slots[i];
        }
        return nullptr;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int32_t i = 0; i < count; i++)
            names.push_back(slots[i]->GetName());
        return names;
    }
};

bool Has(const QvHashTable* table, const std::string& key) {
    return table->Contains(key.c_str(), int32_t(key.size()));
}

class QvWatchParse : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvLogTest::ForgetLastCleanupTime();
        PutEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles"));
        PutEnv("QV_COMMON_APPDATA", temp.Join("AppData"));
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::SetFakeFileTime(kStartFileTime);
        SetLogDirectory(temp.Join("logs\\qvtest").c_str());
        settingsPath = temp.Join("qvinfo.xml");
        QvInfoManagerTest::SetQvInfoXmlPath(settingsPath.c_str());
        QvInfoManagerTest::ResetWarningRateLimiter();
    }
    void TearDown() override {
        SetLogDirectory(nullptr);
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    void Write(const std::string& xml) { ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, xml)); }

    // Messages of the day's log lines (time stamp and process id cut off), in order;
    // with a prefix only the lines that begin with it. Reading moves past them.
    std::vector<std::string> TakeLog(const std::string& prefix = "") {
        QvString path;
        GetLogFilePath(5, &path);
        std::string content;
        QvTestFs::ReadFile(path.GetText(), &content);
        std::vector<std::string> messages;
        size_t start = logOffset;
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
        logOffset = content.size();
        return messages;
    }

    std::string settingsPath;
    size_t logOffset = 0;
};

TEST_F(QvWatchParse, BuildsOneRecordPerFolderWithItsModeAndExtensions) {
    std::string body = kFileSets +
                       "<do_backup>\n" +
                       DirFilter("C:\\Users\\A\\", "Documents,None") +
                       DirFilter("C:\\Users\\A\\Music\\", "music") +
                       DirFilter("D:\\Photos\\", "all") +
                       DirFilter("E:\\Smart\\", "smartwatchfilesets") +
                       DirFilter("F:\\Mixed\\", "pictures,videos") +
                       DirFilter("G:\\", "") +
                       DirFilter("H:\\AllThenNone\\", "ALL,none,music") +
                       "<qvdirfilter whichfiles=\"music\" />\n"
                       "<qvdirfilter dir=\"I:\\\" />\n"
                       "</do_backup>\n";
    Write(Settings("excludefiletypes=\".TMP, log\" smartwatchfilesets=\"documents,music\"", body));
    Records records;
    ASSERT_TRUE(records.parsed);
    ASSERT_EQ(7, records.count);

    const QvHashTable* excluded = records.Named("xc:\\users\\a\\");
    ASSERT_NE(nullptr, excluded);
    for (const char* key : {"doc", "docx", "txt", "none"})
        EXPECT_TRUE(Has(excluded, key)) << key;
    EXPECT_FALSE(Has(excluded, "never")) << "the first set of a name wins";
    EXPECT_EQ(4, excluded->GetEntryCount());

    const QvHashTable* music = records.Named(" c:\\users\\a\\music\\");
    ASSERT_NE(nullptr, music);
    EXPECT_TRUE(Has(music, "mp3") && Has(music, "flac"));
    const QvHashTable* all = records.Named("*d:\\photos\\");
    ASSERT_NE(nullptr, all);
    EXPECT_TRUE(Has(all, "all"));
    const QvHashTable* smart = records.Named(" e:\\smart\\");
    ASSERT_NE(nullptr, smart);
    EXPECT_EQ(5, smart->GetEntryCount());
    EXPECT_TRUE(Has(smart, "txt") && Has(smart, "mp3"));
    const QvHashTable* mixed = records.Named(" f:\\mixed\\");
    ASSERT_NE(nullptr, mixed);
    EXPECT_TRUE(Has(mixed, "jpg"));
    EXPECT_EQ(1, mixed->GetEntryCount());
    const QvHashTable* empty = records.Named(" g:\\");
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0, empty->GetEntryCount());
    const QvHashTable* lastWins = records.Named("xh:\\allthennone\\");
    ASSERT_NE(nullptr, lastWins);
    EXPECT_TRUE(Has(lastWins, "all") && Has(lastWins, "none") && Has(lastWins, "flac"));

    std::vector<std::string> names = records.Names();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const std::string& a, const std::string& b) { return a.size() > b.size(); }));

    EXPECT_STREQ("excludefiletypes", records.fileTypes.GetName());
    EXPECT_EQ(2, records.fileTypes.GetEntryCount());
    EXPECT_TRUE(Has(&records.fileTypes, "tmp") && Has(&records.fileTypes, "log"));

    EXPECT_EQ((std::vector<std::string>{
                  "ERROR: parsing qvinfo.xml, a qvdirfilter contains a fileset that does not make sense: videos, "
                  "qvdirfilter=<qvdirfilter dir=\"F:\\Mixed\\\" whichfiles=\"pictures,videos\" />",
                  "ERROR: ParseQvInfoForFilesToWatch, QvFile::GetUniqueStrAttrFromXmlSnippet NO dir in this "
                  "qvdirfilter snippet: <qvdirfilter whichfiles=\"music\" />",
                  "ERROR: ParseQvInfoForFilesToWatch, QvFile::GetUniqueStrAttrFromXmlSnippet NO whichfiles in this "
                  "qvdirfilter snippet: <qvdirfilter dir=\"I:\\\" />",
              }),
              TakeLog());
}

TEST_F(QvWatchParse, LongerFolderNamesComeFirst) {
    Write(Settings("excludefiletypes=\"tmp\" smartwatchfilesets=\"\"",
                   kFileSets + "<do_backup>" + DirFilter("c:\\a\\", "music") + DirFilter("c:\\a\\b\\", "music") +
                       DirFilter("c:\\", "all") + "</do_backup>\n"));
    Records records;
    EXPECT_EQ((std::vector<std::string>{" c:\\a\\b\\", " c:\\a\\", "*c:\\"}), records.Names());
}

TEST_F(QvWatchParse, ExcludedFileTypesLoseOneLeadingDotAndUpperCase) {
    struct Case {
        const char* value;
        std::vector<std::string> keys;
    } cases[] = {
        {".TMP, log", {"tmp", "log"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a"}},
        {" ..Bak ", {".bak"}},
    };
    for (const Case& c : cases) {
        Write(Settings(std::string("excludefiletypes=\"") + c.value + "\" smartwatchfilesets=\"\"", kFileSets));
        Records records;
        EXPECT_EQ(int32_t(c.keys.size()), records.fileTypes.GetEntryCount()) << c.value;
        for (const std::string& key : c.keys)
            EXPECT_TRUE(Has(&records.fileTypes, key)) << c.value << ": " << key;
    }
}

TEST_F(QvWatchParse, MissingElementsAreLoggedAndTheParseStillSucceeds) {
    Write(Settings("", "<do_backup></do_backup>\n"));
    Records records;
    EXPECT_TRUE(records.parsed);
    EXPECT_EQ(0, records.count);
    std::string path = settingsPath;
    std::vector<std::string> log = TakeLog("ERROR");
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR: no excludefiletypes tag in qvinfo file: " + path,
                  "ERROR: GetAllFileSetDefsFromQvInfoFile, QvFile::GetAllXmlSnippetsWithTagNameInXmlFile NO "
                  "filesetdefs in qvinfoFile: " + path,
                  "ERROR: ParseQvInfoForFilesToWatch, no smartwatchfilesets in qvinfo.xml file: " + path,
                  "ERROR: ParseQvInfoForFilesToWatch, QvFile::GetAllXmlSnippetsWithTagNameInXml found NO  "
                  "qvdirfilter in a do_backup block in file: " + path,
              }),
              log);

    Write(Settings("excludefiletypes=\"a\" smartwatchfilesets=\"\"", kFileSets));
    Records noBackup;
    EXPECT_EQ((std::vector<std::string>{"ERROR: ParseQvInfoForFilesToWatch, QvFile::GetAllXmlSnippetsWithTagNameInXmlFile "
                                        "NO top level dirs to watch in qvinfoFile: " + path}),
              TakeLog("ERROR"));
}

TEST_F(QvWatchParse, MissingArgumentsFailTheParse) {
    Write(Settings("excludefiletypes=\"a\"", ""));
    QvHashTable* slots[QV_INFO_MAX_NUM_DIR_FILTERS] = {};
    int32_t count = 7;
    QvHashTable fileTypes(QvInfoManager::kFileTypeTableBuckets);
    EXPECT_FALSE(QvInfoManager::ParseQvInfoForFilesToWatch(slots, nullptr, &fileTypes));
    EXPECT_FALSE(QvInfoManager::ParseQvInfoForFilesToWatch(nullptr, &count, &fileTypes));
    EXPECT_EQ(0, count);
    // Records of an earlier parse are released even when the table is missing.
    slots[3] = QvInfoManager::NewWatchRecord();
    count = 7;
    EXPECT_FALSE(QvInfoManager::ParseQvInfoForFilesToWatch(slots, &count, nullptr));
    EXPECT_EQ(nullptr, slots[3]);
    EXPECT_EQ(0, count);
}

TEST_F(QvWatchParse, FileSetsKeepNameAsWrittenAndLowerCaseExtensions) {
    Write(Settings("", "<filesetdef filesetname=\"Docs\" extensions=\"DOC, Txt ,\" />\n"
                       "<filesetdef extensions=\"x\" />\n"
                       "<filesetdef filesetname=\"One\" extensions=\" Single \" />\n"
                       "<filesetdef filesetname=\"Bare\" />\n"
                       "<filesetdef filesetname=\"Gaps\" extensions=\"a,,b\" />\n"));
    QvStringVector fileSets[QV_INFO_MAX_NUM_FILESETS];
    int32_t count = -1;
    QvString path(settingsPath.c_str());
    GetAllFileSetDefsFromQvInfoFile(&path, fileSets, &count);
    ASSERT_EQ(4, count);
    auto items = [&](int i) {
        std::vector<std::string> result;
        for (int32_t k = 0; k < fileSets[i].GetCount(); k++)
            result.push_back(fileSets[i].GetAt(k)->GetText());
        return result;
    };
    EXPECT_EQ((std::vector<std::string>{"Docs", "doc", "txt"}), items(0));
    EXPECT_EQ((std::vector<std::string>{"One", " single "}), items(1));
    EXPECT_EQ((std::vector<std::string>{"Bare"}), items(2));
    EXPECT_EQ((std::vector<std::string>{"Gaps", "a", "", "b"}), items(3));
    EXPECT_EQ((std::vector<std::string>{"ERROR: GetAllFileSetDefsFromQvInfoFile, QvFile::GetUniqueStrAttrFromXmlSnippet "
                                        "NO filesetdefs name in this filesetdef snippet: <filesetdef extensions=\"x\" />"}),
              TakeLog());
}

TEST_F(QvWatchParse, AtMostOneHundredFiftyFileSetsAreRead) {
    std::string body;
    for (int i = 1; i <= 151; i++)
        body += "<filesetdef filesetname=\"set" + std::to_string(i) + "\" extensions=\"e" + std::to_string(i) + "\" />\n";
    Write(Settings("", body));
    QvStringVector fileSets[QV_INFO_MAX_NUM_FILESETS];
    int32_t count = 0;
    QvString path(settingsPath.c_str());
    GetAllFileSetDefsFromQvInfoFile(&path, fileSets, &count);
    ASSERT_EQ(150, count);
    EXPECT_STREQ("set150", fileSets[149].GetAt(0)->GetText());
    EXPECT_EQ((std::vector<std::string>{"ERROR: GetAllFileSetDefsFromQvInfoFile, too many filesetdef definitions, "
                                        "150 is the max, clipping to 150!"}),
              TakeLog());

    QvString missing(temp.Join("none.xml").c_str());
    GetAllFileSetDefsFromQvInfoFile(&missing, fileSets, &count);
    EXPECT_EQ(0, count);
    EXPECT_EQ((std::vector<std::string>{"ERROR: GetAllFileSetDefsFromQvInfoFile, QvFile::GetAllXmlSnippetsWithTagNameInXmlFile "
                                        "NO filesetdefs in qvinfoFile: " + temp.Join("none.xml")}),
              TakeLog());
}

TEST_F(QvWatchParse, StoresAtMostNineThousandNineHundredNinetyNineFolders) {
    std::string block = "<do_backup>\n";
    for (int i = 0; i < 10001; i++)
        block += DirFilter("C:\\d" + std::to_string(i) + "\\", "music");
    block += "</do_backup>\n";
    Write(Settings("excludefiletypes=\"tmp\" smartwatchfilesets=\"\"", kFileSets + block));
    {
        Records records;
        EXPECT_EQ(9999, records.count);
        EXPECT_EQ(nullptr, records.slots[9999]);
        EXPECT_NE(nullptr, records.Named(" c:\\d9998\\"));
        EXPECT_EQ(nullptr, records.Named(" c:\\d9999\\"));
    }
    const std::string limit = "ERROR: parsing qvinfo.xml, found more than QV_INFO_MAX_NUM_DIR_FILTERS=10000";
    EXPECT_EQ((std::vector<std::string>{limit + " qvdirfilters, so ignoring the rest - location B"}), TakeLog(limit));

    Write(Settings("excludefiletypes=\"tmp\" smartwatchfilesets=\"\"",
                   kFileSets + block + "<do_backup>" + DirFilter("Z:\\", "all") + "</do_backup>\n"));
    Records twoBlocks;
    EXPECT_EQ(9999, twoBlocks.count);
    EXPECT_EQ((std::vector<std::string>{limit + " qvdirfilters, so ignoring the rest - location B",
                                        limit + "qvdirfilters, so ignoring the rest - location A"}),
              TakeLog(limit));
}

TEST_F(QvWatchParse, EmptyExclusionWarningSlowsDownAfterNineHits) {
    Write(Settings("excludefiletypes=\"\" smartwatchfilesets=\"\"", kFileSets));
    char pid[32];
    snprintf(pid, sizeof pid, "%u", unsigned(QvPlatform::GetCurrentProcessId()));
    auto warning = [&](int hits) {
        return "WARNING: QvInfoManager::ParseQvInfoForFilesToWatch processId=" + std::string(pid) +
               ")  excludefiletypes val zero len (hitWarningCount=" + std::to_string(hits) +
               ") in qvinfo file : " + settingsPath;
    };
    const std::string forced = "INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging rate is forced low to prevent log clutter.";
    const std::string resuming = "INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging resuming normal rate.";
    auto parse = [&]() {
        Records records;
        EXPECT_TRUE(records.parsed);
        std::vector<std::string> lines;
        for (const std::string& line : TakeLog())
            if (line.compare(0, 6, "ERROR:") != 0)
                lines.push_back(line);
        return lines;
    };

    EXPECT_EQ((std::vector<std::string>{"Initializing warningSuppressionTimerRecord.", warning(1)}), parse());
    for (int n = 2; n <= 9; n++)
        EXPECT_EQ((std::vector<std::string>{warning(n)}), parse()) << "hit " << n;
    // Hits 10 to 29 within ten minutes of the first: silent.
    for (int n = 10; n <= 29; n++) {
        QvPlatformTest::AdvanceFakeClockMillis(kMinuteMillis / 4);
        EXPECT_TRUE(parse().empty()) << "hit " << n;
    }
    QvPlatformTest::AdvanceFakeClockMillis(10 * kMinuteMillis);
    // Thirty hits since the last line: the rate stays low.
    EXPECT_EQ((std::vector<std::string>{warning(30), forced}), parse());
    QvPlatformTest::AdvanceFakeClockMillis(10 * kMinuteMillis);
    EXPECT_TRUE(parse().empty()) << "exactly ten minutes later";
    QvPlatformTest::AdvanceFakeClockMillis(1);
    // Two hits in that window: back to the normal rate.
    EXPECT_EQ((std::vector<std::string>{warning(32), forced, resuming}), parse());
    EXPECT_EQ((std::vector<std::string>{warning(33)}), parse());
}

TEST_F(QvWatchParse, TenthHitAfterTenMinutesResumesTheNormalRate) {
    Write(Settings("smartwatchfilesets=\"\"", kFileSets + kOneFolder));
    for (int n = 1; n <= 9; n++)
        Records records;
    TakeLog();
    QvPlatformTest::AdvanceFakeClockMillis(10 * kMinuteMillis + 1);
    { Records records; }
    std::vector<std::string> lines = TakeLog();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("ERROR: no excludefiletypes tag in qvinfo file: " + settingsPath, lines[0]);
    EXPECT_NE(std::string::npos, lines[1].find("(hitWarningCount=10) in qvinfo file : ")) << lines[1];
    EXPECT_EQ("INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging rate is forced low to prevent log clutter.",
              lines[2]);
    EXPECT_EQ("INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging resuming normal rate.", lines[3]);
}

TEST_F(QvWatchParse, ClockSetBackCountsAsNoTimePassed) {
    Write(Settings("excludefiletypes=\"\" smartwatchfilesets=\"\"", kFileSets + kOneFolder));
    for (int n = 1; n <= 9; n++)
        Records records;
    TakeLog();
    QvPlatformTest::AdvanceFakeClockMillis(-60 * kMinuteMillis);
    { Records records; }
    EXPECT_TRUE(TakeLog().empty());
}

// A settings file with 9999 watched folders read whole, timed with the real clock. The
// bound here only catches work that grows out of proportion; the time is printed.
TEST_F(QvWatchParse, ReadsASettingsFileWithNineThousandNineHundredNinetyNineFolders) {
    auto makeFile = [&](int folders) {
        std::string body = kFileSets + "<do_backup>\n";
        for (int i = 0; i < folders; i++)
            body += DirFilter("C:\\Users\\Someone\\Documents\\Project" + std::to_string(i) + "\\",
                              i % 7 == 0 ? "none" : "Documents,music,pictures");
        body += "</do_backup>\n";
        for (int i = 0; i < 20; i++)
            body += "<qvvolume qvVolumeGuid=\"v" + std::string(27 - std::to_string(i).size(), '0') +
                    std::to_string(i) + "\" mountPointPath=\"" + char('C' + i) + ":\\\" />\n";
        Write(Settings("excludefiletypes=\".tmp,.log\" smartwatchfilesets=\"music\" num_backup_threads=\"4\"", body));
    };
    // Process time, not wall time: other work on a busy machine does not count.
    auto timeRead = [&]() {
        std::clock_t start = std::clock();
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        return double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
    };
    makeFile(2500);
    double quarter = timeRead();
    makeFile(9999);
    double full = timeRead();
    for (int i = 0; i < 2; i++)
        full = std::min(full, timeRead());
    printf("settings read: 2500 folders %.1f ms, 9999 folders %.1f ms\n", quarter, full);
    RecordProperty("read_9999_ms", std::to_string(full));
    EXPECT_EQ(1429, QvInfoManager::GetControlPanelSettings().excludedDirs.GetCount());
    EXPECT_EQ(20, QvInfoManager::GetControlPanelSettings().volumes.GetCount());
    EXPECT_LT(full, 20 * quarter + 50) << "grows faster than the number of folders";
}

}  // namespace
