// The status files: the flags of the host-information file, the retries on a file caught
// short, and the send-logs record with its percentages (waits counted on the fake clock).
#include "qvbase/QvUiUtil.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestInstallation.h"
#include "QvTestHooks.h"
#include "qvbase/QvString.h"
#include "QvTestPlatform.h"

namespace {

struct SendLogsRecord {
    uint32_t status;
    uint64_t done;
    uint64_t total;
    int32_t errorCode;
};

// The 32-byte little-endian record; the bytes this program does not read hold 0xbd.
std::string EncodeRecord(const SendLogsRecord& r) {
    std::string bytes(32, char(0xbd));
    auto put = [&bytes](size_t offset, uint64_t value, size_t size) {
        for (size_t i = 0; i < size; ++i)
            bytes[offset + i] = char((value >> (8 * i)) & 0xff);
    };
    put(0, r.status, 4);
    put(8, r.done, 8);
    put(16, r.total, 8);
    put(28, uint32_t(r.errorCode), 4);
    return bytes;
}

// Outputs of GetSendLogsStatus, pre-filled with values no reader produces.
struct SendLogsOutputs {
    uint32_t percent = 0xdeadbeef;
    uint64_t done = 0xdeadbeefdeadbeefULL;
    uint64_t total = 0xdeadbeefdeadbeefULL;
    int32_t errorCode = 0x0badf00d;
    QvSendLogsRunStatus Read() { return QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode); }
    bool Untouched() const {
        SendLogsOutputs fresh;
        return percent == fresh.percent && done == fresh.done && total == fresh.total && errorCode == fresh.errorCode;
    }
};

class QvUiUtilStatus : public QvTestInstallation {
public:
    void SetUp() override {
        QvTestInstallation::SetUp();
        // Started here, so that the cases see only their own reads, waits and lines.
        InitQvUiUtil();
        TakeLog();
        QvPlatformTest::ResetSleepCounters();
    }
    void TearDown() override {
        EXPECT_TRUE(TakeLog().empty());
        QvTestInstallation::TearDown();
    }
    std::string SynchostinfoPath() const { return dataDir + "\\qvreports\\qvdc_synchostinfo.xml"; }
    std::string SendLogsPath() const { return tempDir + "\\qv_sendlogs_ststus.shm"; }
};

}  // namespace

TEST_F(QvUiUtilStatus, HostInformationFlagsTakeOnlyTheirOneWordInAnyCase) {
    QvString formed;
    QvUiUtilTest::GetSynchostinfoPath(&formed);
    EXPECT_EQ("", std::string(formed.GetText())) << "formed only when a status is first read";
    IsHideIconSet();
    QvUiUtilTest::GetSynchostinfoPath(&formed);
    EXPECT_EQ(SynchostinfoPath(), formed.GetText());
    // A null content: no file.
    const struct { const char* content; bool hideIcon; bool checkForUpdates; } cases[] = {
        {"<qvdc_synchostinfo hide_icon=\"true\" enable_check_for_updates=\"false\" />", true, false},
        {"<qvdc_synchostinfo hide_icon=\"tRuE\" enable_check_for_updates=\"fAlSe\" />", true, false},
        {"<qvdc_synchostinfo hide_icon=\"yes\" enable_check_for_updates=\"no\" />", false, true},
        {"<qvdc_synchostinfo hide_icon=\"1\" enable_check_for_updates=\"0\" />", false, true},
        {"<qvdc_synchostinfo hide_icon=\"\" enable_check_for_updates=\"\" />", false, true},
        {"<qvdc_synchostinfo hide_icon=\"true \" enable_check_for_updates=\"false \" />", false, true},
        {"<qvdc_synchostinfo other=\"true\" />", false, true},
        {"<qvdc_synchostinfo/>", false, true},  // 11 bytes: long enough, read once
        {nullptr, false, true},
        // The first occurrence wins.
        {"<a hide_icon=\"True\" enable_check_for_updates=\"FALSE\" />\n<b hide_icon=\"false\" "
         "enable_check_for_updates=\"true\" />", true, false},
    };
    // The file is read again at every call.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(no file)");
        QvTestFs::RemoveTree(SynchostinfoPath());
        if (c.content) {
            ASSERT_TRUE(QvTestFs::WriteFile(SynchostinfoPath(), c.content));
        }
        EXPECT_EQ(c.hideIcon, IsHideIconSet());
        EXPECT_EQ(c.checkForUpdates, IsCheckForUpdatesEnabled());
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
}

TEST_F(QvUiUtilStatus, ShortHostInformationFileIsReadTwentyTimesForTheUpdateFlagOnly) {
    // 10 bytes or fewer count as caught while being written; the last content is long
    // enough and shows that the same reader would have found the flag.
    for (const char* content : {"", "0123456789", "<a enable_check_for_updates=\"false\""}) {
        SCOPED_TRACE(content);
        ASSERT_TRUE(QvTestFs::WriteFile(SynchostinfoPath(), content));
        QvPlatformTest::ResetSleepCounters();
        bool longEnough = strlen(content) > 10;
        EXPECT_EQ(!longEnough, IsCheckForUpdatesEnabled());
        EXPECT_EQ(longEnough ? 0 : 19, QvPlatformTest::GetSleepCount());
        EXPECT_EQ(longEnough ? 0 : 19 * 300, QvPlatformTest::GetSleptMillis());
        EXPECT_FALSE(IsHideIconSet());
        EXPECT_EQ(longEnough ? 0 : 19, QvPlatformTest::GetSleepCount());
    }
}

TEST_F(QvUiUtilStatus, DecodesTheSendLogsRecordAndWorksOutThePercentage) {
    SendLogsOutputs none;
    EXPECT_EQ(kSendLogsRunStatusNone, none.Read()) << "no file: no job, at once";
    EXPECT_TRUE(none.Untouched());
    const uint64_t half = 1ULL << 63;
    // 64-bit unsigned arithmetic: the products wrap, the result keeps its low 32 bits.
    const struct { SendLogsRecord record; uint32_t percent; } cases[] = {
        {{1, 5, 10, 0}, 5},     {{1, 30, 100, 0}, 3},  {{1, 7, 0, 0}, 0},  {{2, 10, 10, 0}, 100},
        {{2, 50, 100, 0}, 55},  {{2, 5, 0, 0}, 10},    {{7, 5, 10, 42}, 0}, {{0xfffffffeu, 1, 1, -7001}, 0},
        {{1, half, half, 0}, 0}, {{2, half, half, 0}, 10}, {{2, 1ULL << 40, 1, 0}, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "status " << c.record.status << ", " << c.record.done << " of "
                                        << c.record.total);
        ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), EncodeRecord(c.record)));
        SendLogsOutputs out;
        EXPECT_EQ(c.record.status, out.Read());
        EXPECT_EQ(c.percent, out.percent);
        EXPECT_EQ(c.record.done, out.done);
        EXPECT_EQ(c.record.total, out.total);
        EXPECT_EQ(c.record.errorCode, out.errorCode);
    }
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
}

TEST_F(QvUiUtilStatus, IncompleteSendLogsRecordIsReadTenTimesThenLogged) {
    const std::string expectedEnd =
        "[QvUiUtil::GetSendLogsStatus()] ERROR:\tpSendLogsStatus is NULL for " + SendLogsPath();
    const std::string full = EncodeRecord({2, 50, 100, 0});
    for (const std::string& record : {full.substr(0, 31), full + "x", std::string()}) {
        SCOPED_TRACE(testing::Message() << record.size() << " bytes");
        ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), record));
        QvPlatformTest::ResetSleepCounters();
        SendLogsOutputs out;
        EXPECT_EQ(kSendLogsRunStatusNone, out.Read());
        EXPECT_TRUE(out.Untouched());
        EXPECT_EQ(10, QvPlatformTest::GetSleepCount());
        EXPECT_EQ(1000, QvPlatformTest::GetSleptMillis());
        std::vector<std::string> lines = TakeLog();
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(0u, lines[0].find("QvUiUtilStatus.cpp:")) << lines[0];
        ASSERT_GE(lines[0].size(), expectedEnd.size());
        EXPECT_EQ(expectedEnd, lines[0].substr(lines[0].size() - expectedEnd.size()));
    }
}

TEST_F(QvUiUtilStatus, MissingOutputPointersGiveBadArgumentsWithoutReading) {
    ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), "short"));  // a record that would make the reader wait
    for (int missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(testing::Message() << "missing output " << missing);
        SendLogsOutputs out;
        EXPECT_EQ(kSendLogsRunStatusBadArguments,
                  QvUiUtil::GetSendLogsStatus(missing == 0 ? nullptr : &out.percent, missing == 1 ? nullptr : &out.done,
                                              missing == 2 ? nullptr : &out.total,
                                              missing == 3 ? nullptr : &out.errorCode));
        SendLogsOutputs expected;
        if (missing != 3)
            expected.errorCode = kSendLogsBadArgumentsErrorCode;
        EXPECT_TRUE(out.percent == expected.percent && out.done == expected.done && out.total == expected.total);
        EXPECT_EQ(expected.errorCode, out.errorCode);
    }
    EXPECT_EQ(kSendLogsRunStatusBadArguments, QvUiUtil::GetSendLogsStatus(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, QvPlatformTest::GetSleepCount());
}
