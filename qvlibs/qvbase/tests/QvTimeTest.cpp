// Time values: the clock in milliseconds since 1970 and its UTC text, whatever the local
// time zone says.
#include "qvbase/QvTime.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "QvTestPlatform.h"

namespace {
std::string Format(int64_t millis) {
    char buffer[kQvTimeTextBufferSize];
    memset(buffer, 0xbd, sizeof buffer);
    FormatTimeMillis(buffer, millis);
    return buffer;
}
// A zone 14 hours east of UTC: any use of local time shows in the day and the hour.
struct QvTimeFarZone : ::testing::Test {
    void SetUp() override { static char zone[] = "TZ=XYZ-14"; putenv(zone), tzset(); }
    void TearDown() override { QvPlatformTest::UseRealClock(); }
};
}  // namespace

TEST_F(QvTimeFarZone, FormatsUtcFieldsWithoutRoundingAndReadsTheClockInWholeMilliseconds) {
    for (auto c : {std::pair<int64_t, const char*>{0, "1970-01-01 00:00:00"}, {86399999, "1970-01-01 23:59:59"},
                   {1709208000000, "2024-02-29 12:00:00"}, {1709164800000 - 1, "2024-02-28 23:59:59"},
                   {4102444800000, "2100-01-01 00:00:00"}})
        EXPECT_EQ(c.second, Format(c.first)) << "for " << c.first;
    QvPlatformTest::SetFakeFileTime((1709208000123ULL + 11644473600000ULL) * 10000 + 9999);
    EXPECT_EQ(1709208000123, GetCurrentTimeMillis()) << "sub-millisecond ticks dropped";
    QvPlatformTest::AdvanceFakeClockMillis(-1000);
    EXPECT_EQ("2024-02-29 11:59:59", Format(GetCurrentTimeMillis()));
    QvPlatformTest::UseRealClock();
    int64_t now = GetCurrentTimeMillis(), fromC = int64_t(time(nullptr)) * 1000;
    EXPECT_LT(now > fromC ? now - fromC : fromC - now, 5000) << "the real clock";
}
