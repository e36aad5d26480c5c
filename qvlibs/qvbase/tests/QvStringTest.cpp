// The byte string: buffer sizing, the no-buffer state, editing, searching and parsing.
#include "qvbase/QvString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "QvTestPlatform.h"

namespace {
void ExpectNoBuffer(const QvString& s) {
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.GetCapacity());
    EXPECT_STREQ("", s.GetText());
}
class QvStringAllocation : public ::testing::Test {
protected:
    void TearDown() override { QvPlatformTest::FailAllocationNumber(0); }
};
}  // namespace

TEST(QvString, NewStringHoldsFourteenCharactersBeforeGrowing) {
    QvString s;
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
    std::vector<int32_t> grown;
    QvString s;
    for (int length = 0; length < 250000; ++length) {
        int32_t before = s.GetCapacity();
        s.AppendChar(char('a' + length % 26));
        if (s.GetCapacity() != before)
            grown.push_back(s.GetCapacity());
    }
    ASSERT_EQ(250000, s.GetLength());
    EXPECT_EQ('a' + 249999 % 26, s.GetText()[249999]);
    ASSERT_EQ(62u, grown.size());
    for (size_t i = 0; i < 49; ++i)
        EXPECT_EQ(35 + 20 * int32_t(i), grown[i]);
    EXPECT_EQ(1015, grown[49]);
    EXPECT_EQ(10024, grown[58]);
    EXPECT_EQ(110025, grown[59]);
}

TEST(QvString, EnsureCapacityChoosesTheStepByCurrentCapacity) {
    struct Case { int32_t capacity, request; bool stepped; long long expected; };
    const Case cases[] = {
        {15, 14, true, 15}, {15, -1, true, 15}, {15, 33, true, 35}, {15, 34, true, 55}, {15, 5000, true, 5015},
        {15, 5000, false, 5011}, {999, 999, true, 1015}, {1000, 1000, true, 2001}, {9999, 9999, true, 11000},
        {10000, 10000, true, 110001}, {399999, 399999, true, 500000}, {400000, 400000, true, 10400001},
        {20000000, 20000000, true, 40000001}, {60000000, 60000000, true, 160000001},
    };
    for (const Case& c : cases) {
        QvString s("keep");
        ASSERT_TRUE(c.capacity == 15 || s.EnsureCapacity(c.capacity - 11, false));
        EXPECT_EQ(c.request >= 0, s.EnsureCapacity(c.request, c.stepped)) << c.request;
        EXPECT_EQ(c.expected, s.GetCapacity()) << "from " << c.capacity << " for " << c.request;
        EXPECT_STREQ("keep", s.GetText());
    }
    QvString s("keep");
    QvPlatformTest::ResetAllocationCount();
    EXPECT_FALSE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 5, true));
    EXPECT_EQ(0, QvPlatformTest::GetAllocationCount()) << "refused before allocating";
    ASSERT_TRUE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ(QvString::kMaxSteppedCapacity, s.GetCapacity());
    EXPECT_STREQ("keep", s.GetText());
}

TEST(QvString, AssignsCountedBytesOwnTextAndNull) {
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
    // Sources inside the string's own buffer survive its reallocation.
    QvString own("0123456789abc");
    own.Append(&own);
    own.Append(own.GetText() + 10);
    EXPECT_STREQ("0123456789abc0123456789abcabc0123456789abc", own.GetText());
    own.Set(own.GetText() + 10);
    own.Insert(1, own.GetText() + 16);
    EXPECT_STREQ("aabc0123456789abcbc0123456789abcabc0123456789abc", own.GetText());
}

TEST(QvString, FormatsNumbersAsTheCFormatterDoes) {
    QvString s;
    s.Format("%s=%d;%I64d", "n", -5, static_cast<long long>(-1234567890123456789LL));
    EXPECT_STREQ("n=-5;-1234567890123456789", s.GetText());
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
        {"abc", kInsert, 3, 0, "X", "abcX"}, {"abc", kInsert, 4, 0, "X", "abc"}, {"abc", kInsert, 0, 0, "X", "Xabc"},
        {"abc", kInsert, 1, 0, "XY", "aXYbc"}, {"abc", kInsert, -1, 0, "X", "abc"}, {"abc", kInsert, 1, 0, "", "abc"},
        {"", kInsert, 0, 0, "X", "X"}, {"", kInsert, 1, 0, "X", ""}, {"abcdef", kDelete, 1, 100, "", "a"},
        {"abcdef", kDelete, 5, 1, "", "abcde"}, {"abcdef", kDelete, 6, 1, "", "abcdef"},
        {"abcdef", kDelete, -1, 2, "", "abcdef"}, {"abcdef", kDelete, 2, 0, "", "abcdef"},
        {" \t\r\nab c\n", kTrim, 0, 0, "", "ab c"}, {"\f a", kTrim, 0, 0, "", "\f a"},
        {" \t\r\n", kTrim, 0, 0, "", ""}, {"\xA0x\v", kTrim, 0, 0, "", "\xA0x\v"},
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
        EXPECT_EQ(int32_t(strlen(c.expected)), s.GetLength());
    }
    QvString grown("abc");
    grown.Insert(1, "0123456789012345678");
    EXPECT_EQ(35, grown.GetCapacity()) << "inserting grows in steps";
}

TEST(QvString, ExtractsFindsAndComparesWithinTheText) {
    struct Mid { int32_t start, count; const char* expected; };
    for (const Mid& m : {Mid{-5, 2, "he"}, Mid{5, 1, ""}, Mid{1, 100, "ello"}, Mid{1, 0, ""}, Mid{4, 1, "o"}}) {
        QvString hello("hello");
        EXPECT_STREQ(m.expected, hello.Mid(m.start, m.count).GetText()) << m.start;
        QvString* heap = hello.NewMid(m.start, m.count);
        EXPECT_STREQ(m.expected, heap->GetText());
        delete heap;
    }
    struct Find { const char* text; int32_t start; const char* needle; int32_t expected; };
    const Find finds[] = {{"hello", 2, "lo", 3}, {"hello", 0, "", -1}, {"hello", 5, "o", -1}, {"hello", -1, "h", -1},
                          {"hello", 4, "o", 4}, {"hello", 3, "lox", -1}, {"", 0, "a", -1}, {"aab", 0, "ab", 1}};
    for (const Find& c : finds) {
        QvString s(c.text), needle(c.needle);
        EXPECT_EQ(c.expected, s.Find(c.start, c.needle)) << c.text << " from " << c.start;
        EXPECT_EQ(c.expected, s.Find(c.start, &needle)) << c.text << " from " << c.start;
    }
    QvString abc("abc");
    for (const Find& c : {Find{"", 0, "\0", 3}, Find{"", 1, "c", 2}, Find{"", 0, "x", -1}, Find{"", 3, "\0", -1}, Find{"", -1, "a", -1}})
        EXPECT_EQ(c.expected, abc.FindChar(c.start, c.needle[0])) << c.start;
    struct Cmp { const char* a; const char* b; int expected; };
    const Cmp cmps[] = {{nullptr, nullptr, 0}, {nullptr, "", 0}, {nullptr, "a", -1}, {"a", nullptr, 1},
                        {"", nullptr, 0}, {"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1},
                        {"\xE9", "a", -1}, {"a", "\xE9", 1}};
    for (const Cmp& c : cmps)
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
}

TEST_F(QvStringAllocation, StringWithoutBufferStaysUsable) {
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
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_EQ(nullptr, s.NewMid(0, 2));
}

TEST_F(QvStringAllocation, FailedGrowthDropsTheContentAndTheNextAssignmentAllocatesAfresh) {
    struct Case { const char* name; void (*grow)(QvString&); int32_t capacity; };
    const Case operations[] = {
        {"Set", [](QvString& s) { QvPlatformTest::FailAllAllocations(true); s.Set("a text longer than fifteen"); }, 0},
        {"SetCounted", [](QvString& s) { QvPlatformTest::FailAllAllocations(true); s.Set("a text longer than 15", 20); }, 0},
        {"Append", [](QvString& s) { QvPlatformTest::FailAllAllocations(true); s.Append(" and more to come"); }, 0},
        {"AppendChar", [](QvString& s) { s.Append("45678901234"); QvPlatformTest::FailAllocationNumber(1); s.AppendChar('x'); }, 0},
        {"Insert", [](QvString& s) { QvPlatformTest::FailAllAllocations(true); s.Insert(1, "0123456789ab"); }, 0},
        // Format builds the text in a temporary (block, text, fitting) before assigning it.
        {"Format", [](QvString& s) { QvPlatformTest::FailAllocationNumber(4); s.Format("%s %d", "texts", 123456789); }, 0},
        {"FormatText", [](QvString& s) { QvPlatformTest::FailAllocationNumber(2); s.Format("%d", 42); }, 15},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op.name);
        QvString s("abc");
        op.grow(s);
        QvPlatformTest::FailAllocationNumber(0);
        EXPECT_STREQ("", s.GetText());
        EXPECT_EQ(op.capacity, s.GetCapacity());
        s.AppendChar('q');
        EXPECT_STREQ("q", s.GetText()) << "the next append allocates afresh";
        s.Set("fresh");
        EXPECT_EQ(15, s.GetCapacity());
    }
}
