// Behaviour of the byte string: sizing of the buffer on assignment and append, the state
// left by a failed allocation, and the edge cases of editing, searching and parsing.
#include "qvbase/QvString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/QvPlatformMemory.h"

namespace {

void ExpectNoBuffer(const QvString& s) {
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.GetCapacity());
    ASSERT_NE(nullptr, s.GetText());
    EXPECT_STREQ("", s.GetText());
}

// Capacity after an append that needs `need` bytes (terminator included): small buffers
// take the next size of the form 15 + 20k that leaves a spare byte, larger ones add a
// margin chosen by their current size.
long long ExpectedSteppedCapacity(long long capacity, long long need) {
    if (capacity < 1000) {
        long long c = 15;
        while (c < need + 1)
            c += 20;
        return c;
    }
    const long long tiers[][2] = {{10000, 1000}, {400000, 100000}, {20000000, 10000000}, {60000000, 20000000}};
    for (const auto& tier : tiers) {
        if (capacity < tier[0])
            return need + tier[1];
    }
    return need + 100000000;
}

void FailEveryAllocation() { QvPlatformTest::FailAllAllocations(true); }

class QvStringAllocation : public ::testing::Test {
protected:
    void TearDown() override { QvPlatformTest::FailAllocationNumber(0); }
};

}  // namespace

TEST(QvString, NewStringHoldsFourteenCharactersBeforeGrowing) {
    QvString s;
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(15, s.GetCapacity());
    s.Set("12345678901234");
    EXPECT_EQ(15, s.GetCapacity());
    s.Set("123456789012345");
    EXPECT_EQ(26, s.GetCapacity()) << "assignment sizes to fit";
    QvString appended("12345678901234");
    appended.Append("5");
    EXPECT_EQ(35, appended.GetCapacity()) << "appending grows in steps";
}

TEST(QvString, GrowsInStepsWhenAppendingByteByByte) {
    const long long kFinalLength = 250000;  // crosses 1000 and 10000, then grows twice more
    std::vector<long long> expected, actual;
    long long capacity = 15;
    QvString s;
    for (long long length = 0; length < kFinalLength; ++length) {
        if (length + 2 > capacity)
            expected.push_back(capacity = ExpectedSteppedCapacity(capacity, length + 2));
        int32_t before = s.GetCapacity();
        s.AppendChar(static_cast<char>('a' + length % 26));
        if (s.GetCapacity() != before)
            actual.push_back(s.GetCapacity());
    }
    EXPECT_EQ(expected, actual);
    ASSERT_EQ(kFinalLength, s.GetLength());
    EXPECT_EQ('a' + (kFinalLength - 1) % 26, s.GetText()[kFinalLength - 1]);
    EXPECT_EQ(0, s.GetText()[kFinalLength]);
    ASSERT_EQ(62u, actual.size());
    EXPECT_EQ(995, actual[48]);
    EXPECT_EQ(1015, actual[49]);
    EXPECT_EQ(10024, actual[58]);
    EXPECT_EQ(110025, actual[59]);
}

TEST(QvString, EnsureCapacityChoosesTheStepByCurrentCapacity) {
    struct Case { int32_t capacity, request; bool stepped; long long expected; };
    const Case cases[] = {
        {15, 14, true, 15},       {15, -1, true, 15},        {15, 33, true, 35},
        {15, 34, true, 55},       {15, 5000, true, 5015},    {15, 5000, false, 5011},
        {999, 999, true, 1015},   {1000, 1000, true, 2001},  {9999, 9999, true, 11000},
        {10000, 10000, true, 110001},   {399999, 399999, true, 500000}, {400000, 400000, true, 10400001},
        {20000000, 20000000, true, 40000001}, {60000000, 60000000, true, 160000001},
    };
    for (const Case& c : cases) {
        QvString s("keep");
        if (c.capacity > 15) {
            ASSERT_TRUE(s.EnsureCapacity(c.capacity - 11, false));
        }
        EXPECT_EQ(c.request >= 0, s.EnsureCapacity(c.request, c.stepped)) << c.request;
        EXPECT_EQ(c.expected, s.GetCapacity()) << "from " << c.capacity << " for " << c.request;
        EXPECT_STREQ("keep", s.GetText());
    }
}

TEST(QvString, SteppedGrowthStopsAtItsMaximum) {
    QvString s("keep");
    QvPlatformTest::ResetAllocationCount();
    EXPECT_FALSE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 5, true));
    EXPECT_EQ(0, QvPlatformTest::GetAllocationCount()) << "refused before allocating";
    EXPECT_EQ(15, s.GetCapacity());
    ASSERT_TRUE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ(QvString::kMaxSteppedCapacity, s.GetCapacity());
    EXPECT_STREQ("keep", s.GetText());
}

TEST(QvString, AssignmentCopiesCountedBytesAndAcceptsNull) {
    QvString s("old");
    s.Set(static_cast<const char*>(nullptr));
    EXPECT_STREQ("", s.GetText());
    s.Set("abcdef", 3);
    EXPECT_STREQ("abc", s.GetText());
    s.Set("abcdef", -1);
    EXPECT_EQ(0, s.GetLength());
    s.Set("a\0b", 3);
    QvString copy(&s);
    EXPECT_EQ(std::string("a\0b", 3), std::string(copy.GetText(), copy.GetLength()));
    EXPECT_EQ(-1, copy.Find(0, "b")) << "searches stop at the first NUL";
    copy.Set(static_cast<const QvString*>(nullptr));
    EXPECT_EQ(0, copy.GetLength());
}

TEST(QvString, AssignsAppendsAndInsertsFromItsOwnText) {
    QvString s("0123456789abc");
    s.Append(&s);
    EXPECT_STREQ("0123456789abc0123456789abc", s.GetText());
    s.Append(s.GetText() + 10);
    EXPECT_STREQ("0123456789abc0123456789abcabc0123456789abc", s.GetText());
    s.Set(s.GetText() + 10);
    EXPECT_STREQ("abc0123456789abcabc0123456789abc", s.GetText());
    s.Insert(1, s.GetText() + 16);
    EXPECT_STREQ("aabc0123456789abcbc0123456789abcabc0123456789abc", s.GetText());
}

TEST(QvString, FormatsNumbersAsTheCFormatterDoes) {
    QvString s;
    s.Format("%s=%d;%I64d", "n", -5, static_cast<long long>(-1234567890123456789LL));
    EXPECT_STREQ("n=-5;-1234567890123456789", s.GetText());
    EXPECT_EQ(25 + 11, s.GetCapacity());
    QvString appended("x");
    appended.AppendInt(-5);
    appended.AppendInt64(4294967296LL * 3 + 7);
    appended.AppendInt64(INT64_MIN);
    appended.AppendFormat("[%I64d]", static_cast<long long>(1) << 40);
    EXPECT_STREQ("x-512884901895-9223372036854775808[1099511627776]", appended.GetText());
}

TEST(QvString, EditsWithinBoundsOnly) {
    enum { kInsert, kDelete, kTrim, kLower };
    struct Case { const char* start; int op; int32_t pos, count; const char* text; const char* expected; };
    const Case cases[] = {
        {"abc", kInsert, 3, 0, "X", "abcX"},      {"abc", kInsert, 4, 0, "X", "abc"},
        {"abc", kInsert, 0, 0, "X", "Xabc"},      {"abc", kInsert, 1, 0, "XY", "aXYbc"},
        {"abc", kInsert, -1, 0, "X", "abc"},      {"abc", kInsert, 1, 0, "", "abc"},
        {"", kInsert, 0, 0, "X", "X"},            {"", kInsert, 1, 0, "X", ""},
        {"abcdef", kDelete, 1, 100, "", "a"},     {"abcdef", kDelete, 5, 1, "", "abcde"},
        {"abcdef", kDelete, 6, 1, "", "abcdef"},  {"abcdef", kDelete, -1, 2, "", "abcdef"},
        {"abcdef", kDelete, 2, 0, "", "abcdef"},
        {" \t\r\nab c\n", kTrim, 0, 0, "", "ab c"}, {"\f a", kTrim, 0, 0, "", "\f a"},
        {" \t\r\n", kTrim, 0, 0, "", ""},           {"\xA0x\v", kTrim, 0, 0, "", "\xA0x\v"},
        {"AZaz@[`{\xC3\x89", kLower, 0, 0, "", "azaz@[`{\xC3\x89"},
    };
    for (const Case& c : cases) {
        QvString s(c.start);
        switch (c.op) {
        case kInsert: s.Insert(c.pos, c.text); break;
        case kDelete: s.Delete(c.pos, c.count); break;
        case kTrim: s.Trim(); break;
        default: s.MakeLower(); break;
        }
        EXPECT_STREQ(c.expected, s.GetText()) << c.start << " op " << c.op << " at " << c.pos;
        EXPECT_EQ(static_cast<int32_t>(strlen(c.expected)), s.GetLength());
    }
    QvString grown("abc");
    grown.Insert(1, "0123456789012345678");
    EXPECT_EQ(35, grown.GetCapacity()) << "inserting grows in steps";
}

TEST(QvString, ExtractsSubstringsClampedToTheText) {
    const std::pair<int32_t, int32_t> ranges[] = {{-5, 2}, {5, 1}, {1, 100}, {1, 0}, {4, 1}};
    const char* expected[] = {"he", "", "ello", "", "o"};
    QvString hello("hello");
    for (size_t i = 0; i < std::size(ranges); ++i) {
        EXPECT_STREQ(expected[i], hello.Mid(ranges[i].first, ranges[i].second).GetText()) << i;
        QvString* heap = hello.NewMid(ranges[i].first, ranges[i].second);
        ASSERT_NE(nullptr, heap);
        EXPECT_STREQ(expected[i], heap->GetText());
        delete heap;
    }
}

TEST(QvString, FindsFromAStartWithinTheText) {
    struct Case { const char* text; int32_t start; const char* needle; int32_t expected; };
    const Case cases[] = {
        {"hello", 2, "lo", 3},    {"hello", 0, "", -1},     {"hello", 5, "o", -1}, {"hello", -1, "h", -1},
        {"hello", 4, "o", 4},     {"hello", 3, "lox", -1},  {"", 0, "a", -1},      {"aab", 0, "ab", 1},
    };
    for (const Case& c : cases) {
        QvString s(c.text);
        QvString needle(c.needle);
        EXPECT_EQ(c.expected, s.Find(c.start, c.needle)) << c.text << " from " << c.start;
        EXPECT_EQ(c.expected, s.Find(c.start, &needle)) << c.text << " from " << c.start;
    }
    QvString abc("abc");
    const std::pair<int32_t, char> chars[] = {{0, 0}, {1, 'c'}, {0, 'x'}, {3, 0}, {-1, 'a'}};
    const int32_t found[] = {3, 2, -1, -1, -1};
    for (size_t i = 0; i < std::size(chars); ++i)
        EXPECT_EQ(found[i], abc.FindChar(chars[i].first, chars[i].second)) << i;
}

TEST(QvString, ComparesSignedBytesAndFoldsOnlyAsciiLetters) {
    struct Case { const char* a; const char* b; int expected; };
    const Case cases[] = {
        {nullptr, nullptr, 0}, {nullptr, "", 0},  {nullptr, "a", -1}, {"a", nullptr, 1}, {"", nullptr, 0},
        {"abc", "abc", 0},     {"abc", "abd", -1}, {"abc", "ab", 1},   {"\xE9", "a", -1}, {"a", "\xE9", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, QvString::Compare(c.a, c.b)) << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null");
    EXPECT_TRUE(QvString("A.LOG").EndsWithNoCase(".log"));
    EXPECT_FALSE(QvString("log").EndsWithNoCase(".log"));
    EXPECT_TRUE(QvString("x").EndsWithNoCase(""));
    EXPECT_FALSE(QvString("\xC9.LOG").EndsWithNoCase("\xE9.log"));
}

TEST(QvString, ParsesLeadingDecimalNumbers) {
    struct Case { const char* text; int64_t expected64; int32_t expected32; };
    const Case cases[] = {
        {"-12ab", -12, -12}, {"-x", 7, 7}, {"+", 7, 7}, {" 12", 7, 7}, {"", 7, 7}, {"+42", 42, 42},
        {"99999999999999999999", 7766279631452241919LL, 1661992959},  // wrapped modulo 2^64
        {"4294967297", 4294967297LL, 1}, {"-2147483648", -2147483648LL, INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected64, QvString(c.text).ToInt64(7)) << c.text;
        EXPECT_EQ(c.expected32, QvString(c.text).ToInt(7)) << c.text;
    }
}

TEST(QvString, MovingHandsTheBufferOver) {
    QvString source("moved text");
    const char* block = source.GetText();
    QvString target(std::move(source));
    EXPECT_EQ(block, target.GetText());
    ExpectNoBuffer(source);
    source.Append("usable");
    EXPECT_STREQ("usable", source.GetText());
}

TEST_F(QvStringAllocation, NewStringWithoutItsFirstBlockStartsWithoutBufferAndStaysUsable) {
    QvPlatformTest::FailAllocationNumber(1);
    QvString s;
    ASSERT_EQ(nullptr, s.GetBuffer());
    s.Trim();
    s.MakeLower();
    s.Delete(0, 1);
    s.Insert(1, "x");
    s.SetLength(0);
    EXPECT_EQ(-1, s.Find(0, "a"));
    EXPECT_EQ(-1, s.FindChar(0, 0));
    EXPECT_EQ(5, s.ToInt64(5));
    EXPECT_FALSE(s.EndsWithNoCase("a"));
    EXPECT_STREQ("", s.Mid(0, 1).GetText());
    ExpectNoBuffer(s);
    ASSERT_TRUE(s.EnsureCapacity(5, false));
    EXPECT_EQ(15, s.GetCapacity());
    EXPECT_STREQ("", s.GetText()) << "a fresh block holds the empty text";

    FailEveryAllocation();
    QvString failed("hello");
    QvPlatformTest::FailAllocationNumber(0);
    ExpectNoBuffer(failed);
    failed.Set("abc");
    EXPECT_STREQ("abc", failed.GetText());
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_EQ(nullptr, failed.NewMid(0, 2));
}

TEST_F(QvStringAllocation, FailedGrowthDropsTheContentAndTheNextAssignmentAllocatesAfresh) {
    using Grow = void (*)(QvString&);
    const std::pair<const char*, Grow> operations[] = {
        {"Set", [](QvString& s) { FailEveryAllocation(); s.Set("a text longer than fifteen"); }},
        {"SetCounted", [](QvString& s) { FailEveryAllocation(); s.Set("a text longer than fifteen", 20); }},
        {"Append", [](QvString& s) { FailEveryAllocation(); s.Append(" and more to come"); }},
        {"AppendChar", [](QvString& s) { s.Append("45678901234"); FailEveryAllocation(); s.AppendChar('x'); }},
        {"Insert", [](QvString& s) { FailEveryAllocation(); s.Insert(1, "0123456789ab"); }},
        // Format builds the text in a temporary (block, text, fitting) before assigning it.
        {"Format", [](QvString& s) { QvPlatformTest::FailAllocationNumber(4); s.Format("%s %d", "texts", 123456789); }},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op.first);
        QvString s("abc");
        op.second(s);
        QvPlatformTest::FailAllocationNumber(0);
        ExpectNoBuffer(s);
        s.Set("fresh");
        EXPECT_STREQ("fresh", s.GetText());
        EXPECT_EQ(15, s.GetCapacity());
    }
    QvString appended("abc");
    QvPlatformTest::FailAllocationNumber(1);
    appended.Append("0123456789abcdef");
    ExpectNoBuffer(appended);
    appended.AppendChar('q');
    EXPECT_STREQ("q", appended.GetText()) << "the next append allocates afresh";
    QvPlatformTest::FailAllocationNumber(2);  // the formatted text of the temporary
    appended.Format("%d", 42);
    EXPECT_STREQ("", appended.GetText());
    EXPECT_EQ(15, appended.GetCapacity());
}
