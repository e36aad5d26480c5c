// Time values: the clock in milliseconds since 1970 and its UTC text, whatever the local
// time zone says.
#include "qvbase/QvTime.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include <gtest/gtest.h>

#include "platform/QvPlatformClock.h"

namespace {

const uint64_t kEpochDifferenceMillis = 11644473600000ULL;

uint64_t FileTimeOfMillis(int64_t millis) { return (uint64_t(millis) + kEpochDifferenceMillis) * 10000; }

std::string Format(int64_t millis) {
    char buffer[kQvTimeTextBufferSize];
    memset(buffer, 0xbd, sizeof buffer);
    FormatTimeMillis(buffer, millis);
    return buffer;
}

// A zone 14 hours east of UTC: any use of local time shows in the day and the hour.
class QvTimeFarZone : public ::testing::Test {
protected:
    void SetUp() override {
        static char zone[] = "TZ=XYZ-14";
        putenv(zone);
        tzset();
    }
    void TearDown() override { QvPlatformTest::UseRealClock(); }
};

}  // namespace

TEST_F(QvTimeFarZone, FormatsUtcFieldsWithoutRounding) {
    struct Case {
        int64_t millis;
        const char* text;
    } cases[] = {
        {0, "1970-01-01 00:00:00"},
        {86399999, "1970-01-01 23:59:59"},           // one millisecond short of a day
        {1709208000000, "2024-02-29 12:00:00"},      // leap day at noon
        {1709164800000 - 1, "2024-02-28 23:59:59"},  // just before midnight UTC
        {4102444800000, "2100-01-01 00:00:00"},
    };
    for (const Case& c : cases) {
        std::string text = Format(c.millis);
        EXPECT_EQ(c.text, text) << "for " << c.millis;
        EXPECT_EQ(size_t(kQvTimeTextLength), text.size());
    }
}

TEST_F(QvTimeFarZone, CurrentTimeDropsSubMillisecondTicks) {
    QvPlatformTest::SetFakeFileTime(FileTimeOfMillis(1709208000123) + 9999);
    EXPECT_EQ(1709208000123, GetCurrentTimeMillis());
    QvPlatformTest::AdvanceFakeClockMillis(-1000);
    EXPECT_EQ(1709207999123, GetCurrentTimeMillis());
    EXPECT_EQ("2024-02-29 11:59:59", Format(GetCurrentTimeMillis()));
}

TEST(QvTime, RealClockIsRecent) {
    QvPlatformTest::UseRealClock();
    int64_t now = GetCurrentTimeMillis();
    EXPECT_GT(now, 1704067200000);  // after 2024-01-01
    int64_t fromC = int64_t(time(nullptr)) * 1000;
    EXPECT_LT(now > fromC ? now - fromC : fromC - now, 5000);
}
