// File sets and watched folders: the records built from a settings file, the limits, every
// rejection in the log, and the rate limiter of the empty-exclusion warning on the fake clock.
#include "qvbase/QvInfoManager.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestInstallation.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "QvTestPlatform.h"

namespace {

const int64_t kMinuteMillis = 60000;
const std::string kFileSets =
    "<filesetdef filesetname=\"Documents\" extensions=\"DOC,docx, txt\" />\n"
    "<filesetdef filesetname=\"music\" extensions=\"mp3,flac\" />\n"
    "<filesetdef filesetname=\"pictures\" extensions=\"JPG\" />\n"
    "<filesetdef filesetname=\"documents\" extensions=\"never\" />\n";

std::string Settings(const std::string& attrs, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinfo " + attrs + ">\n" + body + "</qvinfo>\n";
}

std::string DirFilter(const std::string& dir, const std::string& whichFiles) {
    return "<qvdirfilter dir=\"" + dir + "\" whichfiles=\"" + whichFiles + "\" />\n";
}

// The watched-folder records of one parse, released at the end.
struct Records {
    QvHashTable* slots[QV_INFO_MAX_NUM_DIR_FILTERS] = {};
    int32_t count = -1;
    QvHashTable fileTypes{QvInfoManager::kFileTypeTableBuckets};
    bool parsed = QvInfoManager::ParseQvInfoForFilesToWatch(slots, &count, &fileTypes);

    ~Records() { QvInfoManager::ReleaseWatchRecords(slots); }
    const QvHashTable* Named(const std::string& name) const {
        for (int32_t i = 0; i < count; i++) {
            if (name == slots[i]->GetName())
                return slots[i];
        }
        return nullptr;
    }
};

// The keys of a table among the candidates, in the candidates' order.
std::vector<std::string> KeysOf(const QvHashTable* table, const std::vector<std::string>& candidates) {
    std::vector<std::string> keys;
    for (const std::string& key : candidates) {
        if (table->Contains(key.c_str(), int32_t(key.size())))
            keys.push_back(key);
    }
    EXPECT_EQ(int32_t(keys.size()), table->GetEntryCount()) << "keys beyond the candidates";
    return keys;
}

class QvWatchParse : public QvTestInstallation {
protected:
    void Write(const std::string& xml) { ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, xml)); }
    std::vector<std::string> ReadFileSets(const std::string& path, int32_t* count) {
        QvStringVector fileSets[QV_INFO_MAX_NUM_FILESETS];
        QvString pathText(path.c_str());
        GetAllFileSetDefsFromQvInfoFile(&pathText, fileSets, count);
        std::vector<std::string> sets;  // "name:ext1:ext2"
        for (int32_t i = 0; i < *count; i++) {
            std::string set = fileSets[i].GetAt(0)->GetText();
            for (int32_t k = 1; k < fileSets[i].GetCount(); k++)
                set += std::string(":") + fileSets[i].GetAt(k)->GetText();
            sets.push_back(set);
        }
        return sets;
    }
};

TEST_F(QvWatchParse, BuildsOneRecordPerFolderWithItsModeAndExtensions) {
    const std::string body = kFileSets + "<do_backup>\n" + DirFilter("C:\\Users\\A\\", "Documents,None") +
                             DirFilter("C:\\Users\\A\\Music\\", "music") + DirFilter("D:\\Photos\\", "all") +
                             DirFilter("E:\\Smart\\", "smartwatchfilesets") + DirFilter("F:\\Mixed\\", "pictures,videos") +
                             DirFilter("G:\\", "") + DirFilter("H:\\AllThenNone\\", "ALL,none,music") +
                             DirFilter("I:\\", " music") + DirFilter("K:\\", "none,all") +
                             "<qvdirfilter whichfiles=\"music\" />\n<qvdirfilter dir=\"J:\\\" />\n</do_backup>\n";
    Write(Settings("excludefiletypes=\".TMP, log\" smartwatchfilesets=\"documents,music\"", body));
    Records records;
    ASSERT_TRUE(records.parsed);
    ASSERT_EQ(9, records.count);
    const std::vector<std::string> all = {"doc", "docx", "txt", "mp3", "flac", "jpg", "never", "none", "all"};
    const struct { const char* name; std::vector<std::string> keys; } expected[] = {
        {"xc:\\users\\a\\", {"doc", "docx", "txt", "none"}},  // the first set of a name wins
        {" c:\\users\\a\\music\\", {"mp3", "flac"}},
        {"*d:\\photos\\", {"all"}},
        {" e:\\smart\\", {"doc", "docx", "txt", "mp3", "flac"}},
        {" f:\\mixed\\", {"jpg"}},
        {" g:\\", {}},
        {"xh:\\allthennone\\", {"mp3", "flac", "none", "all"}},  // the last mode word wins
        {" i:\\", {}},  // a single item is not trimmed
        {"*k:\\", {"none", "all"}},
    };
    for (const auto& e : expected) {
        const QvHashTable* record = records.Named(e.name);
        ASSERT_NE(nullptr, record) << e.name;
        EXPECT_EQ(e.keys, KeysOf(record, all)) << e.name;
    }
    for (int32_t i = 1; i < records.count; i++)
        EXPECT_GE(strlen(records.slots[i - 1]->GetName()), strlen(records.slots[i]->GetName())) << "longest first";
    EXPECT_STREQ("excludefiletypes", records.fileTypes.GetName());
    EXPECT_EQ((std::vector<std::string>{"tmp", "log"}), KeysOf(&records.fileTypes, {"tmp", "log"}));

    const std::string nonsense = "ERROR: parsing qvinfo.xml, a qvdirfilter contains a fileset that does not make sense: ";
    const std::string parse = "ERROR: ParseQvInfoForFilesToWatch, QvFile::GetUniqueStrAttrFromXmlSnippet NO ";
    EXPECT_EQ((std::vector<std::string>{
                  nonsense + "videos, qvdirfilter=<qvdirfilter dir=\"F:\\Mixed\\\" whichfiles=\"pictures,videos\" />",
                  nonsense + " music, qvdirfilter=<qvdirfilter dir=\"I:\\\" whichfiles=\" music\" />",
                  parse + "dir in this qvdirfilter snippet: <qvdirfilter whichfiles=\"music\" />",
                  parse + "whichfiles in this qvdirfilter snippet: <qvdirfilter dir=\"J:\\\" />",
              }),
              TakeLog());
}

TEST_F(QvWatchParse, ExcludedFileTypesLoseOneLeadingDotAndUpperCase) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"a,,b", {"a", "", "b"}}, {"a,", {"a"}}, {" ..Bak ", {".bak"}}};
    for (const auto& c : cases) {
        Write(Settings(std::string("excludefiletypes=\"") + c.first + "\" smartwatchfilesets=\"\"", kFileSets));
        Records records;
        EXPECT_EQ(c.second, KeysOf(&records.fileTypes, {"a", "", "b", ".bak"})) << c.first;
    }
}

TEST_F(QvWatchParse, MissingElementsAreLoggedAndTheParseStillSucceeds) {
    Write(Settings("", "<do_backup></do_backup>\n"));
    Records records;
    EXPECT_TRUE(records.parsed);
    EXPECT_EQ(0, records.count);
    const std::string& path = settingsPath;
    const std::vector<std::string> log = TakeLog();
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ("ERROR: no excludefiletypes tag in qvinfo file: " + path, log[0]);
    EXPECT_EQ("Initializing warningSuppressionTimerRecord.", log[1]);
    EXPECT_EQ(0u, log[2].find("WARNING: QvInfoManager::ParseQvInfoForFilesToWatch processId=")) << log[2];
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR: GetAllFileSetDefsFromQvInfoFile, QvFile::GetAllXmlSnippetsWithTagNameInXmlFile NO "
                  "filesetdefs in qvinfoFile: " + path,
                  "ERROR: ParseQvInfoForFilesToWatch, no smartwatchfilesets in qvinfo.xml file: " + path,
                  "ERROR: ParseQvInfoForFilesToWatch, QvFile::GetAllXmlSnippetsWithTagNameInXml found NO  "
                  "qvdirfilter in a do_backup block in file: " + path,
              }),
              std::vector<std::string>(log.begin() + 3, log.end()));

    Write(Settings("excludefiletypes=\"a\" smartwatchfilesets=\"\"", kFileSets));
    Records noBackup;
    EXPECT_EQ((std::vector<std::string>{"ERROR: ParseQvInfoForFilesToWatch, QvFile::GetAllXmlSnippetsWithTagNameInXmlFile "
                                        "NO top level dirs to watch in qvinfoFile: " + path}),
              TakeLog());
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
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(QvWatchParse, FileSetsKeepTheirNameAsWrittenAndLowerCaseExtensions) {
    Write(Settings("", "<filesetdef filesetname=\"Docs\" extensions=\"DOC, Txt ,\" />\n"
                       "<filesetdef extensions=\"x\" />\n"
                       "<filesetdef filesetname=\"One\" extensions=\" Single \" />\n"
                       "<filesetdef filesetname=\"Bare\" />\n"
                       "<filesetdef filesetname=\"Gaps\" extensions=\"a,,b\" />\n"));
    int32_t count = -1;
    EXPECT_EQ((std::vector<std::string>{"Docs:doc:txt", "One: single ", "Bare", "Gaps:a::b"}),
              ReadFileSets(settingsPath, &count));
    EXPECT_EQ((std::vector<std::string>{"ERROR: GetAllFileSetDefsFromQvInfoFile, QvFile::GetUniqueStrAttrFromXmlSnippet "
                                        "NO filesetdefs name in this filesetdef snippet: <filesetdef extensions=\"x\" />"}),
              TakeLog());

    std::string body;
    for (int i = 1; i <= 151; i++)
        body += "<filesetdef filesetname=\"set" + std::to_string(i) + "\" />\n";
    Write(Settings("", body));
    std::vector<std::string> sets = ReadFileSets(settingsPath, &count);
    ASSERT_EQ(150, count);
    EXPECT_EQ("set150", sets.back());
    EXPECT_EQ((std::vector<std::string>{"ERROR: GetAllFileSetDefsFromQvInfoFile, too many filesetdef definitions, "
                                        "150 is the max, clipping to 150!"}),
              TakeLog());

    EXPECT_TRUE(ReadFileSets(temp.Join("none.xml"), &count).empty());
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
    const std::string limit = "ERROR: parsing qvinfo.xml, found more than QV_INFO_MAX_NUM_DIR_FILTERS=10000";
    const std::string lineB = limit + " qvdirfilters, so ignoring the rest - location B";
    const std::string lineA = limit + "qvdirfilters, so ignoring the rest - location A";
    const struct { std::string body; std::vector<std::string> lines; } cases[] = {
        {block, {lineB}},
        {block + "<do_backup>" + DirFilter("Z:\\", "all") + "</do_backup>\n", {lineB, lineA}},
    };
    for (const auto& c : cases) {
        Write(Settings("excludefiletypes=\"tmp\" smartwatchfilesets=\"\"", kFileSets + c.body));
        Records records;
        EXPECT_EQ(9999, records.count);
        EXPECT_EQ(nullptr, records.slots[9999]);
        EXPECT_NE(nullptr, records.Named(" c:\\d9998\\"));
        EXPECT_EQ(nullptr, records.Named(" c:\\d9999\\"));
        EXPECT_EQ(c.lines, TakeLog());
    }
}

TEST_F(QvWatchParse, EmptyExclusionWarningSlowsDownAfterNineHitsAndResumes) {
    Write(Settings("excludefiletypes=\"\" smartwatchfilesets=\"\"",
                   kFileSets + "<do_backup>" + DirFilter("C:\\", "all") + "</do_backup>\n"));
    char pid[32];
    snprintf(pid, sizeof pid, "%u", unsigned(QvPlatform::GetCurrentProcessId()));
    auto warning = [&](int hits) {
        return "WARNING: QvInfoManager::ParseQvInfoForFilesToWatch processId=" + std::string(pid) +
               ")  excludefiletypes val zero len (hitWarningCount=" + std::to_string(hits) +
               ") in qvinfo file : " + settingsPath;
    };
    const std::string forced = "INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging rate is forced low to prevent log clutter.";
    const std::string resuming = "INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging resuming normal rate.";
    int hit = 0;
    auto parse = [&](int64_t advanceMillis) {
        QvPlatformTest::AdvanceFakeClockMillis(advanceMillis);
        Records records;
        EXPECT_TRUE(records.parsed && records.count == 1);
        ++hit;
        return TakeLog();
    };
    using Lines = std::vector<std::string>;

    EXPECT_EQ((Lines{"Initializing warningSuppressionTimerRecord.", warning(1)}), parse(0));
    for (int n = 2; n <= 9; n++)
        EXPECT_EQ(Lines{warning(n)}, parse(0)) << "hit " << n;
    EXPECT_EQ(Lines{}, parse(-60 * kMinuteMillis)) << "a clock set back counts as no time passed";
    // Ten minutes and 1 ms after the first hit, with 11 hits in all: back to the normal rate.
    EXPECT_EQ((Lines{warning(11), forced, resuming}), parse(70 * kMinuteMillis + 1));
    for (int n = 12; n <= 20; n++)
        EXPECT_EQ(Lines{warning(n)}, parse(0)) << "hit " << n;
    for (int n = 21; n <= 29; n++)
        EXPECT_EQ(Lines{}, parse(kMinuteMillis / 4)) << "hit " << n;
    EXPECT_EQ(Lines{}, parse(10 * kMinuteMillis - 9 * kMinuteMillis / 4)) << "exactly ten minutes after the last line";
    // 20 hits since the last line: the rate stays low.
    EXPECT_EQ((Lines{warning(31), forced}), parse(1));
    EXPECT_EQ((Lines{warning(32), forced, resuming}), parse(10 * kMinuteMillis + 1));
    EXPECT_EQ(Lines{warning(33)}, parse(0));
    EXPECT_EQ(33, hit);
}

// The bound only catches work that grows out of proportion with the number of folders.
TEST_F(QvWatchParse, ReadsASettingsFileWithNineThousandNineHundredNinetyNineFolders) {
    auto timeRead = [&](int folders) {
        std::string body = kFileSets + "<do_backup>\n";
        for (int i = 0; i < folders; i++)
            body += DirFilter("C:\\Users\\Someone\\Documents\\Project" + std::to_string(i) + "\\",
                              i % 7 == 0 ? "none" : "Documents,music,pictures");
        Write(Settings("excludefiletypes=\".tmp\" smartwatchfilesets=\"music\"", body + "</do_backup>\n"));
        std::clock_t start = std::clock();  // process time: other work on the machine does not count
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        return double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
    };
    double quarter = timeRead(2500);
    double full = timeRead(9999);
    EXPECT_EQ(1429, QvInfoManager::GetControlPanelSettings().excludedDirs.GetCount());
    EXPECT_LT(full, 20 * quarter + 50) << "2500 folders: " << quarter << " ms, 9999 folders: " << full << " ms";
}

}  // namespace
