// The status files: the hide and update flags of the host-information file, the retries
// on a file caught short, and the send-logs record with its percentages. Waits are
// counted on the fake clock, never slept. Each case builds an installation (install, data
// and temporary directories) in a fresh temporary folder.
#include "qvbase/QvUiUtil.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "config/QvInfoManagerTestHooks.h"
#include "config/QvUiUtilTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformFiles.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "system/QvSystemTestHooks.h"

namespace {

// 2024-03-15 10:00:00 UTC: the log lines go to the file of day 15.
const uint64_t kNowMillis = 1710496800000ULL;
const uint64_t kEpochDifferenceMillis = 11644473600000ULL;
const int32_t kLogDay = 15;
const char* const kTempVariables[] = {"TMPDIR", "TMP", "TEMP"};

std::string TextOf(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

struct SendLogsRecord {
    uint32_t status;
    uint64_t done;
    uint64_t total;
    int32_t errorCode;
};

void PutLittleEndian(std::string* bytes, size_t offset, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i)
        (*bytes)[offset + i] = char((value >> (8 * i)) & 0xff);
}

// The 32-byte record; the bytes this program does not read hold 0xbd.
std::string EncodeRecord(const SendLogsRecord& r) {
    std::string bytes(32, char(0xbd));
    PutLittleEndian(&bytes, 0, r.status, 4);
    PutLittleEndian(&bytes, 8, r.done, 8);
    PutLittleEndian(&bytes, 16, r.total, 8);
    PutLittleEndian(&bytes, 28, uint32_t(r.errorCode), 4);
    return bytes;
}

// Outputs of GetSendLogsStatus, pre-filled with values no reader produces.
struct SendLogsOutputs {
    uint32_t percent = 0xdeadbeef;
    uint64_t done = 0xdeadbeefdeadbeefULL;
    uint64_t total = 0xdeadbeefdeadbeefULL;
    int32_t errorCode = 0x0badf00d;
    bool Untouched() const {
        SendLogsOutputs fresh;
        return percent == fresh.percent && done == fresh.done && total == fresh.total &&
               errorCode == fresh.errorCode;
    }
};

class QvUiUtilStatus : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvPlatformTest::SetFakeFileTime((kNowMillis + kEpochDifferenceMillis) * 10000);
        std::string installDir = temp.MakeDir("install");
        dataDir = temp.MakeDir("data");
        tempDir = temp.MakeDir("tmp");
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
        QvUiUtilTest::ResetModule();
        SetLogDirectory(temp.MakeDir("data\\logs").c_str());

        // Start the module here, so that the cases see only their own reads and waits.
        InitQvUiUtil();
        ClearLog();
        QvPlatformTest::ResetSleepCounters();
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
        QvSystemTest::ResetDirectoryCaches();
        QvPlatformTest::UseRealClock();
    }

    std::string SynchostinfoPath() const { return dataDir + "\\qvreports\\qvdc_synchostinfo.xml"; }
    void WriteSynchostinfo(const std::string& content) { ASSERT_TRUE(QvTestFs::WriteFile(SynchostinfoPath(), content)); }
    std::string SendLogsPath() const { return tempDir + "\\qv_sendlogs_ststus.shm"; }
    void WriteSendLogs(const std::string& bytes) { ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), bytes)); }

    std::string LogPath() {
        QvString path;
        GetLogFilePath(kLogDay, &path);
        return TextOf(path);
    }
    void ClearLog() { ASSERT_TRUE(QvTestFs::WriteFile(LogPath(), "")); }
    std::vector<std::string> LogMessages() {
        std::string content;
        std::vector<std::string> messages;
        if (!QvTestFs::ReadFile(LogPath(), &content))
            return messages;
        size_t start = 0;
        for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = content.substr(start, end - start);
            size_t dash = line.find(" - ");
            messages.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
        }
        return messages;
    }

    std::string dataDir;
    std::string tempDir;
    std::vector<std::string> savedTempVariables;
    std::vector<bool> savedTempVariablesSet;
};

struct FlagCase {
    const char* content;  // the host-information file, null for none
    bool expected;
};

}  // namespace

TEST_F(QvUiUtilStatus, HidesTheIconOnlyForTrueInAnyCase) {
    const FlagCase cases[] = {
        {"<qvdc_synchostinfo hide_icon=\"true\" />", true},
        {"<qvdc_synchostinfo hide_icon=\"TRUE\" />", true},
        {"<qvdc_synchostinfo hide_icon=\"tRuE\" />", true},
        {"<qvdc_synchostinfo hide_icon=\"yes\" />", false},
        {"<qvdc_synchostinfo hide_icon=\"1\" />", false},
        {"<qvdc_synchostinfo hide_icon=\"\" />", false},
        {"<qvdc_synchostinfo hide_icon=\"true \" />", false},
        {"<qvdc_synchostinfo hide_icon=\"false\" />", false},
        {"<qvdc_synchostinfo other=\"true\" />", false},
        {"x", false},
        {nullptr, false},
        // The first occurrence wins.
        {"<a hide_icon=\"True\" />\n<b hide_icon=\"false\" />", true},
    };
    // One process, one initialisation: the file is read again at every call.
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(no file)");
        QvTestFs::RemoveTree(SynchostinfoPath());
        if (c.content)
            WriteSynchostinfo(c.content);
        EXPECT_EQ(c.expected, IsHideIconSet());
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_TRUE(LogMessages().empty());

    QvString formed;
    QvUiUtilTest::GetSynchostinfoPath(&formed);
    EXPECT_EQ(SynchostinfoPath(), TextOf(formed));
}

TEST_F(QvUiUtilStatus, DisablesUpdateChecksOnlyForFalseInAnyCase) {
    const FlagCase cases[] = {
        {"<qvdc_synchostinfo enable_check_for_updates=\"false\" />", false},
        {"<qvdc_synchostinfo enable_check_for_updates=\"FALSE\" />", false},
        {"<qvdc_synchostinfo enable_check_for_updates=\"fAlSe\" />", false},
        {"<qvdc_synchostinfo enable_check_for_updates=\"no\" />", true},
        {"<qvdc_synchostinfo enable_check_for_updates=\"0\" />", true},
        {"<qvdc_synchostinfo enable_check_for_updates=\"\" />", true},
        {"<qvdc_synchostinfo enable_check_for_updates=\"true\" />", true},
        {"<qvdc_synchostinfo hide_icon=\"false\" />", true},
        {"<qvdc_synchostinfo/>", true},  // 11 bytes: long enough, read once
        {nullptr, true},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(no file)");
        QvTestFs::RemoveTree(SynchostinfoPath());
        if (c.content)
            WriteSynchostinfo(c.content);
        EXPECT_EQ(c.expected, IsCheckForUpdatesEnabled());
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(QvUiUtilStatus, ShortHostInformationFileIsReadTwentyTimes) {
    for (const char* content : {"", "0123456789", "<a enable_check_for_updates=\"false\""}) {
        SCOPED_TRACE(content);
        // 10 bytes or fewer count as caught while being written; the last content is long
        // enough and shows that the same reader would have found the flag.
        WriteSynchostinfo(content);
        QvPlatformTest::ResetSleepCounters();
        bool longEnough = strlen(content) > 10;
        EXPECT_EQ(longEnough ? false : true, IsCheckForUpdatesEnabled());
        EXPECT_EQ(longEnough ? 0 : 19, QvPlatformTest::GetSleepCount());
        EXPECT_EQ(longEnough ? 0 : 19 * 300, QvPlatformTest::GetSleptMillis());
        // The hide check neither waits nor retries.
        EXPECT_FALSE(IsHideIconSet());
        EXPECT_EQ(longEnough ? 0 : 19, QvPlatformTest::GetSleepCount());
    }
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(QvUiUtilStatus, DecodesTheSendLogsRecordAndWorksOutThePercentage) {
    const uint64_t half = 1ULL << 63;
    struct RecordCase {
        SendLogsRecord record;
        uint32_t percent;
    };
    const RecordCase cases[] = {
        {{1, 5, 10, 0}, 5},
        {{1, 30, 100, 0}, 3},
        {{1, 7, 0, 0}, 0},
        {{2, 10, 10, 0}, 100},
        {{2, 50, 100, 0}, 55},
        {{2, 0, 0, 0}, 10},
        {{2, 5, 0, 0}, 10},
        {{7, 5, 10, 42}, 0},
        {{0, 5, 10, -1}, 0},
        {{0xfffffffeu, 1, 1, -7001}, 0},
        // 64-bit unsigned arithmetic: the products wrap, the result keeps its low 32 bits.
        {{1, half, half, 0}, 0},
        {{2, half, half, 0}, 10},
        {{2, 1ULL << 40, 1, 0}, 10},
        {{2, 0x0123456789abcdefULL, 0xfedcba9876543210ULL, 0x7fffffff}, 10 + 0x0123456789abcdefULL * 90 / 0xfedcba9876543210ULL},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "status " << c.record.status << ", " << c.record.done << " of "
                                        << c.record.total);
        WriteSendLogs(EncodeRecord(c.record));
        SendLogsOutputs out;
        EXPECT_EQ(c.record.status, QvUiUtil::GetSendLogsStatus(&out.percent, &out.done, &out.total, &out.errorCode));
        EXPECT_EQ(c.percent, out.percent);
        EXPECT_EQ(c.record.done, out.done);
        EXPECT_EQ(c.record.total, out.total);
        EXPECT_EQ(c.record.errorCode, out.errorCode);
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(QvUiUtilStatus, WithoutSendLogsFileReportsNoJobAtOnce) {
    SendLogsOutputs out;
    EXPECT_EQ(kSendLogsRunStatusNone, QvUiUtil::GetSendLogsStatus(&out.percent, &out.done, &out.total, &out.errorCode));
    EXPECT_TRUE(out.Untouched());
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(QvUiUtilStatus, IncompleteSendLogsRecordIsReadTenTimesThenLogged) {
    QvString tempDirText;
    ASSERT_TRUE(QvFile::GetTempDir(&tempDirText));
    const std::string expectedEnd = "[QvUiUtil::GetSendLogsStatus()] ERROR:\tpSendLogsStatus is NULL for " +
                                    TextOf(tempDirText) + "qv_sendlogs_ststus.shm";
    const std::string full = EncodeRecord({2, 50, 100, 0});
    for (size_t size : {size_t(31), size_t(33), size_t(0)}) {
        SCOPED_TRACE(testing::Message() << size << " bytes");
        WriteSendLogs(size <= 32 ? full.substr(0, size) : full + "x");
        ClearLog();
        QvPlatformTest::ResetSleepCounters();
        SendLogsOutputs out;
        EXPECT_EQ(kSendLogsRunStatusNone,
                  QvUiUtil::GetSendLogsStatus(&out.percent, &out.done, &out.total, &out.errorCode));
        EXPECT_TRUE(out.Untouched());
        EXPECT_EQ(10, QvPlatformTest::GetSleepCount());
        EXPECT_EQ(1000, QvPlatformTest::GetSleptMillis());
        std::vector<std::string> lines = LogMessages();
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(0u, lines[0].find("QvUiUtilStatus.cpp:")) << lines[0];
        ASSERT_GE(lines[0].size(), expectedEnd.size());
        EXPECT_EQ(expectedEnd, lines[0].substr(lines[0].size() - expectedEnd.size()));
    }
}

TEST_F(QvUiUtilStatus, MissingOutputPointersGiveBadArgumentsWithoutReading) {
    // A record that would be read, and a short one that would make the reader wait.
    for (const std::string& record : {EncodeRecord({2, 50, 100, 3}), std::string("short")}) {
        WriteSendLogs(record);
        for (int missing = 0; missing < 4; ++missing) {
            SCOPED_TRACE(testing::Message() << "missing output " << missing << ", record of " << record.size());
            SendLogsOutputs out;
            uint32_t* percent = missing == 0 ? nullptr : &out.percent;
            uint64_t* done = missing == 1 ? nullptr : &out.done;
            uint64_t* total = missing == 2 ? nullptr : &out.total;
            int32_t* errorCode = missing == 3 ? nullptr : &out.errorCode;
            EXPECT_EQ(kSendLogsRunStatusBadArguments, QvUiUtil::GetSendLogsStatus(percent, done, total, errorCode));
            SendLogsOutputs expected;
            if (missing != 3)
                expected.errorCode = kSendLogsBadArgumentsErrorCode;
            EXPECT_EQ(expected.percent, out.percent);
            EXPECT_EQ(expected.done, out.done);
            EXPECT_EQ(expected.total, out.total);
            EXPECT_EQ(expected.errorCode, out.errorCode);
        }
    }
    SendLogsOutputs out;
    EXPECT_EQ(kSendLogsRunStatusBadArguments, QvUiUtil::GetSendLogsStatus(nullptr, nullptr, nullptr, &out.errorCode));
    EXPECT_EQ(7001, out.errorCode);
    EXPECT_EQ(kSendLogsRunStatusBadArguments, QvUiUtil::GetSendLogsStatus(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
    EXPECT_TRUE(LogMessages().empty());
}
