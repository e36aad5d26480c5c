// The string types: QvString, QvUtf16String with the UTF-8/UTF-16 conversions, QvStringVector.
#include "qvbase/QvString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "qvbase/QvStringVector.h"
#include "qvbase/QvUtf16String.h"
#include "QvTestPlatform.h"

namespace {
using Texts = std::vector<std::string>;
using QvPlatformTest::FailAllAllocations;
using QvPlatformTest::FailAllocationNumber;

std::string Rep8(const char* s, size_t n) { std::string r; while (n--) r += s; return r; }
std::u16string Rep16(const char16_t* s, size_t n) { std::u16string r; while (n--) r += s; return r; }
std::string Bytes(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }
std::u16string Units(const QvUtf16String& s) { return std::u16string(s.GetText(), size_t(s.GetUnitCount())); }
void SetUnits(QvUtf16String* s, const std::u16string& units) { s->Set(units.data(), int32_t(units.size())); }
// Text up to the terminator (ASCII), length and capacity: "/0/0" is a string without a buffer.
template <class S> std::string State(const S& s) {
    std::string text;
    for (auto p = s.GetText(); *p; ++p)
        text += char(*p);
    return text + "/" + std::to_string(s.GetLength()) + "/" + std::to_string(s.GetCapacity());
}
Texts Items(const QvStringVector& vector) {
    Texts result;
    for (int32_t i = 0; i < vector.GetCount(); i++)
        result.push_back(vector.GetAt(i)->GetText());
    return result;
}
// Tests that arm allocation failures leave them off.
class QvStrings : public ::testing::Test {
protected:
    void TearDown() override { FailAllocationNumber(0); }
};
}  // namespace

TEST(QvString, GrowsExactlyOnAssignmentAndInStepsOnAppend) {
    QvString s, appended("12345678901234"), inserted("abc"), grownByChars;
    EXPECT_EQ("/0/15", State(s));
    s.Set("123456789012345");
    appended.Append("5");
    inserted.Insert(1, "0123456789012345678");
    EXPECT_EQ(26, s.GetCapacity()) << "assignment sizes to fit";
    EXPECT_EQ(35, appended.GetCapacity()) << "appending and inserting grow in steps";
    EXPECT_EQ(35, inserted.GetCapacity());
    std::vector<int32_t> grown, expected;
    for (int length = 0; length < 250000; ++length) {
        int32_t before = grownByChars.GetCapacity();
        grownByChars.AppendChar(char('a' + length % 26));
        if (grownByChars.GetCapacity() != before)
            grown.push_back(grownByChars.GetCapacity());
    }
    for (auto step : {std::vector<int32_t>{35, 1015, 20}, {2016, 10024, 1001}, {110025, 310027, 100001}})
        for (int32_t capacity = step[0]; capacity <= step[1]; capacity += step[2])
            expected.push_back(capacity);
    EXPECT_EQ(expected, grown);
    ASSERT_EQ(250000, grownByChars.GetLength());
    EXPECT_EQ('a' + 249999 % 26, grownByChars.GetText()[249999]);
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
        EXPECT_EQ("keep/4/" + std::to_string(c.expected), State(s)) << "from " << c.capacity << " for " << c.request;
    }
    QvString s("keep");
    QvPlatformTest::ResetAllocationCount();
    EXPECT_FALSE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 5, true));
    EXPECT_EQ(0, QvPlatformTest::GetAllocationCount()) << "refused before allocating";
    ASSERT_TRUE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ("keep/4/" + std::to_string(QvString::kMaxSteppedCapacity), State(s));
}

TEST(QvString, AssignsFormatsAndMovesText) {
    QvString s("old");
    s.Set(static_cast<const char*>(nullptr));
    EXPECT_EQ("/0/15", State(s));
    s.Set("abcdef", 3);
    EXPECT_EQ("abc/3/15", State(s));
    s.Set("abcdef", -1);
    EXPECT_EQ("/0/15", State(s));
    s.Set("a\0b", 3);
    QvString copy(&s);
    EXPECT_EQ(std::string("a\0b", 3), Bytes(copy));
    EXPECT_EQ(-1, copy.Find(0, "b")) << "searches stop at the first NUL";
    copy.Set(static_cast<const QvString*>(nullptr));
    EXPECT_EQ("/0/15", State(copy));
    // Sources inside the string's own buffer survive its reallocation.
    QvString own("0123456789abc");
    own.Append(&own);
    own.Append(own.GetText() + 10);
    EXPECT_STREQ("0123456789abc0123456789abcabc0123456789abc", own.GetText());
    own.Set(own.GetText() + 10);
    own.Insert(1, own.GetText() + 16);
    EXPECT_STREQ("aabc0123456789abcbc0123456789abcabc0123456789abc", own.GetText());
    s.Format("%s=%d;%I64d", "n", -5, static_cast<long long>(-1234567890123456789LL));
    EXPECT_STREQ("n=-5;-1234567890123456789", s.GetText());
    s.Set("x");
    s.AppendInt(-5), s.AppendInt64(4294967296LL * 3 + 7), s.AppendInt64(INT64_MIN);
    s.AppendFormat("[%I64d]", static_cast<long long>(1) << 40);
    EXPECT_STREQ("x-512884901895-9223372036854775808[1099511627776]", s.GetText());
    const char* block = s.GetText();
    QvString target(std::move(s));
    EXPECT_EQ(block, target.GetText());
    EXPECT_EQ("/0/0", State(s));
}

TEST(QvString, EditsWithinBoundsOnly) {
    struct Case { const char* start; char op; int32_t pos, count; const char* text; const char* expected; };
    const Case cases[] = {  // op: Insert, Delete, Trim or MakeLower
        {"abc", 'I', 3, 0, "X", "abcX"}, {"abc", 'I', 4, 0, "X", "abc"}, {"abc", 'I', 0, 0, "X", "Xabc"},
        {"abc", 'I', 1, 0, "XY", "aXYbc"}, {"abc", 'I', -1, 0, "X", "abc"}, {"abc", 'I', 1, 0, "", "abc"},
        {"", 'I', 0, 0, "X", "X"}, {"", 'I', 1, 0, "X", ""}, {"abcdef", 'D', 1, 100, "", "a"},
        {"abcdef", 'D', 5, 1, "", "abcde"}, {"abcdef", 'D', 6, 1, "", "abcdef"}, {"abcdef", 'D', -1, 2, "", "abcdef"},
        {"abcdef", 'D', 2, 0, "", "abcdef"}, {" \t\r\nab c\n", 'T', 0, 0, "", "ab c"}, {"\f a", 'T', 0, 0, "", "\f a"},
        {" \t\r\n", 'T', 0, 0, "", ""}, {"\xA0x\v", 'T', 0, 0, "", "\xA0x\v"},
        {"AZaz@[`{\xC3\x89", 'L', 0, 0, "", "azaz@[`{\xC3\x89"},
    };
    for (const Case& c : cases) {
        QvString s(c.start);
        c.op == 'I' ? s.Insert(c.pos, c.text) : c.op == 'D' ? s.Delete(c.pos, c.count) : c.op == 'T' ? s.Trim()
                                                                                                     : s.MakeLower();
        EXPECT_EQ(std::string(c.expected), Bytes(s)) << c.start << " op " << c.op << " at " << c.pos;
        EXPECT_EQ(0, s.GetText()[s.GetLength()]);
    }
}

TEST(QvString, ExtractsFindsComparesAndParsesWithinTheText) {
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
    for (const Find& c : {Find{"", 0, "\0", 3}, Find{"", 1, "c", 2}, Find{"", 0, "x", -1}, Find{"", 3, "\0", -1},
                          Find{"", -1, "a", -1}})
        EXPECT_EQ(c.expected, abc.FindChar(c.start, c.needle[0])) << c.start;
    struct Cmp { const char* a; const char* b; int expected; };
    for (const Cmp& c : {Cmp{nullptr, nullptr, 0}, {nullptr, "", 0}, {nullptr, "a", -1}, {"a", nullptr, 1},
                         {"", nullptr, 0}, {"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1}, {"\xE9", "a", -1},
                         {"a", "\xE9", 1}})
        EXPECT_EQ(c.expected, QvString::Compare(c.a, c.b)) << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null");
    EXPECT_TRUE(QvString("A.LOG").EndsWithNoCase(".log"));
    EXPECT_FALSE(QvString("log").EndsWithNoCase(".log"));
    EXPECT_TRUE(QvString("x").EndsWithNoCase(""));
    EXPECT_FALSE(QvString("\xC9.LOG").EndsWithNoCase("\xE9.log"));
    struct Number { const char* text; int64_t expected64; int32_t expected32; };
    for (const Number& c : {Number{"-12ab", -12, -12}, {"-x", 7, 7}, {"+", 7, 7}, {" 12", 7, 7}, {"", 7, 7},
                            {"+42", 42, 42}, {"99999999999999999999", 7766279631452241919LL, 1661992959},  // mod 2^64
                            {"4294967297", 4294967297LL, 1}, {"-2147483648", -2147483648LL, INT32_MIN}}) {
        EXPECT_EQ(c.expected64, QvString(c.text).ToInt64(7)) << c.text;
        EXPECT_EQ(c.expected32, QvString(c.text).ToInt(7)) << c.text;
    }
}

TEST_F(QvStrings, StringWithoutBufferStaysUsable) {
    FailAllocationNumber(1);
    QvString s;
    ASSERT_EQ(nullptr, s.GetBuffer());
    s.Trim(), s.MakeLower(), s.Delete(0, 1), s.Insert(1, "x"), s.SetLength(0);
    EXPECT_EQ(-1, s.Find(0, "a"));
    EXPECT_EQ(-1, s.FindChar(0, 0));
    EXPECT_EQ(5, s.ToInt64(5));
    EXPECT_FALSE(s.EndsWithNoCase("a"));
    EXPECT_STREQ("", s.Mid(0, 1).GetText());
    EXPECT_EQ("/0/0", State(s));
    ASSERT_TRUE(s.EnsureCapacity(5, false));
    EXPECT_EQ("/0/15", State(s)) << "a fresh block holds the empty text";
    FailAllocationNumber(1);
    EXPECT_EQ(nullptr, s.NewMid(0, 2));
}

TEST_F(QvStrings, FailedGrowthDropsTheContentAndTheNextAssignmentAllocatesAfresh) {
    struct Case { const char* name; void (*grow)(QvString&); const char* state; };
    const Case operations[] = {
        {"Set", [](QvString& s) { FailAllAllocations(true); s.Set("a text longer than fifteen"); }, "/0/0"},
        {"SetCounted", [](QvString& s) { FailAllAllocations(true); s.Set("a text longer than 15", 20); }, "/0/0"},
        {"Append", [](QvString& s) { FailAllAllocations(true); s.Append(" and more to come"); }, "/0/0"},
        {"AppendChar", [](QvString& s) { s.Append("45678901234"), FailAllocationNumber(1), s.AppendChar(0); }, "/0/0"},
        {"Insert", [](QvString& s) { FailAllAllocations(true); s.Insert(1, "0123456789ab"); }, "/0/0"},
        // Format builds the text in a temporary (block, text, fitting) before assigning it.
        {"Format", [](QvString& s) { FailAllocationNumber(4); s.Format("%s %d", "texts", 123456789); }, "/0/0"},
        {"FormatText", [](QvString& s) { FailAllocationNumber(2); s.Format("%d", 42); }, "/0/15"},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op.name);
        QvString s("abc");
        op.grow(s);
        FailAllocationNumber(0);
        EXPECT_EQ(op.state, State(s));
        s.AppendChar('q');
        EXPECT_EQ("q/1/15", State(s)) << "the next append allocates afresh";
    }
}

TEST_F(QvStrings, Utf16StringGrowsInStepsAndRecoversFromFailedAllocations) {
    QvUtf16String s;
    EXPECT_EQ(220, s.GetCapacity());
    struct Step { int32_t request, capacity; };
    for (const Step& step : {Step{218, 220}, Step{219, 240}, Step{239, 260}, Step{900, 920}, Step{999, 1020},
                             Step{1500, 2502}, Step{9999, 11002}, Step{11001, 111004}, Step{-1, 111004}}) {
        EXPECT_EQ(step.request >= 0, s.EnsureCapacity(step.request)) << step.request;
        EXPECT_EQ(step.capacity, s.GetCapacity()) << step.request;
    }
    FailAllocationNumber(1);
    QvUtf16String none;
    EXPECT_EQ("/0/0", State(none));
    EXPECT_TRUE(none.EnsureCapacity(10));
    EXPECT_EQ("/0/200", State(none));
    FailAllocationNumber(1);
    EXPECT_FALSE(none.EnsureCapacity(500));
    EXPECT_EQ("/0/0", State(none));
    none.Set(nullptr, 0);  // a string without a buffer gets its first block back
    EXPECT_EQ("/0/220", State(none));
    SetUnits(&none, u"abc");
    FailAllocationNumber(1);
    none.Append(Rep16(u"x", 200).data(), 200);
    EXPECT_EQ("/0/0", State(none));
    QvString utf8(Rep8("a", 300).c_str()), back;
    SetUnits(&none, u"x");
    FailAllocationNumber(1);
    EXPECT_TRUE(QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, &none, nullptr));
    EXPECT_EQ("/0/0", State(none));
    SetUnits(&none, Rep16(u"a", 100));
    FailAllocationNumber(1);
    EXPECT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&none, &back, nullptr));
    EXPECT_EQ("/0/0", State(back));
    // A long text converts through a work block; without it the conversion fails with its
    // text and leaves the destination empty.
    QvString accents(Rep8("\xC3\xA9", 1000).c_str()), error;
    FailAllocationNumber(1);
    EXPECT_FALSE(QvUtf16String::ConvertUtf8QvStringToUtf16(&accents, &none, &error));
    EXPECT_STREQ("ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, could not malloc 4 MB tmp", error.GetText());
    EXPECT_EQ(0, none.GetLength());
    SetUnits(&none, Rep16(u"\u00E9", 1000));
    back.Set("x");
    FailAllocationNumber(1);
    EXPECT_FALSE(QvUtf16String::ConvertUtf16QvStringToUtf8(&none, &back, &error));
    EXPECT_STREQ("ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, could not malloc 4 MB tmp", error.GetText());
    EXPECT_EQ(0, back.GetLength());
}

TEST(QvUtf16String, SetsAndAppendsUnitsIncludingNulAndUtf8) {
    QvUtf16String s;
    const char16_t units[] = {u'a', 0, u'b'};
    s.Set(units, 3);
    s.Append(s.GetText(), 3), s.Append(nullptr, 5), s.Append(units, 0);  // the first from its own buffer
    EXPECT_EQ(std::u16string(u"a\0ba\0b", 6), Units(s));
    s.Set(units, -1);
    EXPECT_EQ("/0/220", State(s));
    SetUnits(&s, u"old");
    s.SetFromUtf8("\\\\?\\");
    s.AppendUtf8("C:\\\xC3\xA9"), s.AppendUtf8(nullptr), s.AppendUtf8("\xFF");
    EXPECT_EQ(std::u16string(u"\\\\?\\C:\\\x00E9\x00FF"), Units(s));
    s.SetFromUtf8(nullptr);
    EXPECT_EQ(0, s.GetLength());
}

TEST(QvUtf16String, ConvertsUtf8OrWidensInvalidBytes) {
    struct Case { std::string bytes; std::u16string units; bool widened; };
    std::vector<Case> cases = {
        {"", u"", false}, {std::string("A\0B", 3), std::u16string(u"A\0B", 3), false},
        {"\xC3\xA9", u"\x00E9", false}, {"\xE0\xA0\x80", u"\x0800", false}, {"\xE2\x82\xAC", u"\x20AC", false},
        {"\xEF\xBF\xBF", u"\xFFFF", false}, {"\xED\xA0\x80", u"\xD800", false},  // encoded surrogate passes
        {"\xF0\x90\x80\x80", u"\xD800\xDC00", false}, {"\xF0\x9F\x98\x80", u"\xD83D\xDE00", false},
        {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF", false},
        {std::string("\xF4\x00\x80\x80", 4), u"\xD9C0\xDC00", false},  // no lower bound after F4
        {"A\xE9" "B", u"A\x00E9" "B", true}, {"A\xC3", u"A\x00C3", true},  // lone E9; truncated at the end
        {"\xC0\x80", u"\x00C0\x0080", true}, {"\xE0\x80\x80", u"\x00E0\x0080\x0080", true},  // overlong
        {"\xF0\x80\x80\x80", u"\x00F0\x0080\x0080\x0080", true},
        {"\xF4\x90\x80\x80", u"\x00F4\x0090\x0080\x0080", true},  // above U+10FFFF
        {"\xF5\x80\x80\x80", u"\x00F5\x0080\x0080\x0080", true},
        {"\xF8\x88\x80\x80\x80", u"\x00F8\x0088\x0080\x0080\x0080", true}, {"\x80", u"\x0080", true},
        {"\xE2\x82" "A", u"\x00E2\x0082" "A", true},
        {"\xC3\xA9\xFF", u"\x00C3\x00A9\x00FF", true},  // a valid start is widened too
        {Rep8("z\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 400), Rep16(u"z\x00E9\x20AC\xD83D\xDE00", 400), false},
        // Two million units at most; beyond, the first two million bytes are widened.
        {Rep8("a", 1999999) + "\xC3\xA9", Rep16(u"a", 1999999) + u"\x00E9", false},
        {Rep8("\xC3\xA9", 1000001), Rep16(u"\x00E9", 1000001), false},
        {Rep8("a", 1999999) + "\xF0\x9F\x98\x80", Rep16(u"a", 1999999) + u"\x00F0", true},
        {Rep8("a", 2000001), Rep16(u"a", 2000000), true},
    };
    for (size_t count : {749, 750, 751}) {  // bytes either side of the short-text work area
        std::string head = count % 2 ? "a" : "";
        std::u16string wideHead = count % 2 ? u"a" : u"";
        cases.push_back({head + Rep8("\xC3\xA9", count / 2), wideHead + Rep16(u"\x00E9", count / 2), false});
        cases.push_back({head + Rep8("\xC3\xA9", count / 2) + "\xFF",
                         wideHead + Rep16(u"\x00C3\x00A9", count / 2) + u"\x00FF", true});
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        QvString source, error("stale");
        source.Set(cases[i].bytes.data(), int32_t(cases[i].bytes.size()));
        QvUtf16String wide;
        EXPECT_TRUE(QvUtf16String::ConvertUtf8QvStringToUtf16(&source, &wide, &error));
        EXPECT_TRUE(cases[i].units == Units(wide)) << "row " << i << " of " << cases[i].bytes.size() << " bytes";
        EXPECT_EQ(cases[i].widened ? "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, ConvertUTF8toUTF16 failed on "
                                     "invalid sequence" : "", Bytes(error)) << "row " << i;
    }
}

TEST(QvUtf16String, ConvertsUtf16ToUtf8UpToFirstNulWithinFourMillionBytes) {
    struct Case { std::u16string units; std::string bytes; bool ok; };
    const std::u16string pair = u"\xD83D\xDE00";
    const Case cases[] = {
        {u"", "", true}, {u"A", "A", true}, {u"\x00E9", "\xC3\xA9", true}, {u"\x07FF", "\xDF\xBF", true},
        {u"\x0800", "\xE0\xA0\x80", true}, {u"\xFFFF", "\xEF\xBF\xBF", true}, {pair, "\xF0\x9F\x98\x80", true},
        {u"\xDC00", "\xED\xB0\x80", true}, {u"\xD83D" "A", "\xED\xA0\xBD" "A", true},
        {u"x\xD83D", "x\xED\xA0\xBD", true}, {u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD", true},
        {std::u16string(u"A\0B", 3), "A", true}, {std::u16string(u"\0B", 2), "", true},
        // Units either side of the short-text work area.
        {Rep16(u"\x20AC", 500), Rep8("\xE2\x82\xAC", 500), true},
        {Rep16(u"\x20AC", 501), Rep8("\xE2\x82\xAC", 501), true},
        // The limit counts the whole source, also what follows a 0 unit.
        {Rep16(u"a", 4000000), Rep8("a", 4000000), true}, {Rep16(u"a", 4000001), "", false},
        {Rep16(u"a", 3999996) + pair, Rep8("a", 3999996) + "\xF0\x9F\x98\x80", true},
        {Rep16(u"a", 3999997) + pair, "", false}, {Rep16(u"\x20AC", 1333334), "", false},
        {std::u16string(u"A\0", 2) + Rep16(u"a", 3999998), "A", true},
        {std::u16string(u"A\0", 2) + Rep16(u"a", 3999999), "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        QvUtf16String source;
        SetUnits(&source, c.units);
        QvString utf8("stale"), error("stale");
        EXPECT_EQ(c.ok, QvUtf16String::ConvertUtf16QvStringToUtf8(&source, &utf8, &error));
        EXPECT_TRUE(c.bytes == Bytes(utf8));
        EXPECT_EQ(c.ok ? "" : "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, ConvertUTF16toUTF8 failed",
                  Bytes(error));
    }
    QvString utf8("a"), error;
    QvUtf16String wide;
    EXPECT_FALSE(QvUtf16String::ConvertUtf8QvStringToUtf16(nullptr, &wide, &error));
    EXPECT_STREQ("ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, NULL src arg", error.GetText());
    EXPECT_FALSE(QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, nullptr, nullptr));
    EXPECT_FALSE(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, nullptr, &error));
    EXPECT_STREQ("ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, NULL src arg", error.GetText());
    EXPECT_FALSE(QvUtf16String::ConvertUtf16QvStringToUtf8(nullptr, &utf8, nullptr));
    EXPECT_STREQ("a", utf8.GetText());
}

TEST_F(QvStrings, VectorGrowsInStepsAndAFailedGrowthLeavesNoSlotsAndTheItemWithTheCaller) {
    QvStringVector vector, full;
    EXPECT_EQ(50, vector.GetCapacity());
    std::vector<std::pair<int, int32_t>> growths;  // item number, capacity after adding it
    for (int n = 1; n <= 250; n++) {
        QvString* item = new QvString("x");
        long long before = QvPlatformTest::GetAllocationCount();
        ASSERT_TRUE(vector.Add(item));
        if (QvPlatformTest::GetAllocationCount() != before)
            growths.push_back({n, vector.GetCapacity()});
    }
    // One spare slot is always kept: the 50th item reallocates to the same size.
    EXPECT_EQ((std::vector<std::pair<int, int32_t>>{{50, 50}, {51, 150}, {150, 250}, {250, 350}}), growths);
    EXPECT_FALSE(vector.EnsureCapacity(-1));
    for (int n = 0; n < 50; n++)
        ASSERT_TRUE(full.Add(new QvString("x")));
    QvString* extra = new QvString("extra");
    FailAllocationNumber(1);
    EXPECT_FALSE(full.Add(extra));
    EXPECT_EQ(0, full.GetCount());
    EXPECT_EQ(0, full.GetCapacity());
    EXPECT_EQ(nullptr, full.GetAt(0));
    EXPECT_STREQ("extra", extra->GetText());  // still ours: ASan reports a double free otherwise
    EXPECT_TRUE(full.Add(extra));
    EXPECT_FALSE(full.Add(nullptr));
    EXPECT_EQ(1, full.GetCount());
    full.Clear();
    EXPECT_EQ(0, full.GetCount());
    EXPECT_EQ(50, full.GetCapacity()) << "slots come back at 50 and clearing keeps them";
    FailAllocationNumber(1);
    QvStringVector none;
    EXPECT_EQ(0, none.GetCapacity());
}

TEST(QvStringVector, ComparesFoldingAsciiSortsAndSplitsCommaLists) {
    QvString empty(""), a("a"), upperA("A"), abc("abc"), upperAbc("ABC"), bracket("["), high("\xE9");
    struct Case { const QvString* left; const QvString* right; int expected; };
    for (const Case& c : {Case{nullptr, nullptr, 0}, {nullptr, &empty, -1}, {&empty, nullptr, 1}, {&empty, &empty, 0},
                          {&empty, &a, -1}, {&a, &empty, 1}, {&abc, &upperAbc, 0}, {&a, &abc, -1}, {&upperAbc, &a, 1},
                          {&bracket, &upperA, -1},  // 'A' folds to 'a' (0x61) before comparing with 0x5B
                          {&high, &a, -1}})         // 0xE9 is negative as a signed byte
        EXPECT_EQ(c.expected, QvStringVector::CompareNoCase(c.left, c.right))
            << (c.left ? c.left->GetText() : "(null)") << " vs " << (c.right ? c.right->GetText() : "(null)");
    QvStringVector vector;
    for (const char* text : {"b", "A", "C", "", "a", "\xE9"})
        vector.Add(new QvString(text));
    vector.SortNoCase();
    Texts sorted = Items(vector);
    if (sorted.size() == 6 && sorted[2] == "a")
        std::swap(sorted[2], sorted[3]);  // equal items come in either order
    EXPECT_EQ((Texts{"", "\xE9", "A", "a", "b", "C"}), sorted);

    struct Split { const char* source; Texts expected; };
    for (const Split& c : {Split{"a, b ,c", {"a", "b", "c"}}, {"a,,b", {"a", "", "b"}}, {"a,", {"a"}},
                           {",a", {"", "a"}}, {" x ", {"x"}}, {"", {}}, {",", {""}}, {" , ", {"", ""}},
                           {"\tdoc ,\r\n", {"doc", ""}}, {"one", {"one"}}}) {
        QvString source(c.source);
        QvStringVector::SplitCommaList(&source, &vector);  // replaces what the vector held
        EXPECT_EQ(c.expected, Items(vector)) << "source '" << c.source << "'";
    }
    QvStringVector::SplitCommaList(nullptr, &vector);
    EXPECT_EQ(Texts{"one"}, Items(vector));
    QvStringVector::SplitCommaList(vector.GetAt(0), nullptr);
}
