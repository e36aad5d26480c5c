// QvUtf16String: growth, assignment, and the conversions between UTF-8 and UTF-16 with their
// lenient fallback and size limits. Expected units and bytes are written out by hand.
#include "qvbase/QvUtf16String.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QvTestPlatform.h"

namespace {
const char kInvalidSequence[] =
    "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, ConvertUTF8toUTF16 failed on invalid sequence";
const char kOverLimit[] = "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, ConvertUTF16toUTF8 failed";

template <class S> S Repeat(const S& s, size_t n) {
    S result;
    while (n--)
        result += s;
    return result;
}
std::string Rep8(const char* s, size_t n) { return Repeat(std::string(s), n); }
std::u16string Rep16(const char16_t* s, size_t n) { return Repeat(std::u16string(s), n); }
std::u16string Units(const QvUtf16String& s) { return std::u16string(s.GetText(), size_t(s.GetUnitCount())); }
void SetUnits(QvUtf16String* s, const std::u16string& units) { s->Set(units.data(), int32_t(units.size())); }
void ExpectNoBuffer(const QvUtf16String& s) {
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.GetCapacity());
    EXPECT_EQ(0, s.GetText()[0]);
}
}  // namespace

TEST(QvUtf16String, GrowsInStepsByCurrentCapacity) {
    QvUtf16String s;
    EXPECT_EQ(220, s.GetCapacity());
    struct Step { int32_t request, capacity; };
    for (const Step& step : {Step{218, 220}, Step{219, 240}, Step{239, 260}, Step{900, 920}, Step{999, 1020},
                             Step{1500, 2502}, Step{9999, 11002}, Step{11001, 111004}}) {
        EXPECT_TRUE(s.EnsureCapacity(step.request)) << step.request;
        EXPECT_EQ(step.capacity, s.GetCapacity()) << step.request;
    }
    EXPECT_FALSE(s.EnsureCapacity(-1));
    EXPECT_EQ(111004, s.GetCapacity());
}

TEST(QvUtf16String, AllocationFailureLeavesNoBufferAndRecovers) {
    QvPlatformTest::FailAllocationNumber(1);
    QvUtf16String s;
    ExpectNoBuffer(s);
    EXPECT_TRUE(s.EnsureCapacity(10));
    EXPECT_EQ(200, s.GetCapacity());
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_FALSE(s.EnsureCapacity(500));
    ExpectNoBuffer(s);
    s.Set(nullptr, 0);  // a string without a buffer gets its first block back
    EXPECT_EQ(220, s.GetCapacity());
    SetUnits(&s, u"abc");
    QvPlatformTest::FailAllocationNumber(1);
    s.Append(Rep16(u"x", 200).data(), 200);
    ExpectNoBuffer(s);
    QvString utf8(Rep8("a", 300).c_str()), back;
    SetUnits(&s, u"x");
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_TRUE(QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, &s, nullptr));
    ExpectNoBuffer(s);
    SetUnits(&s, Rep16(u"a", 100));
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&s, &back, nullptr));
    EXPECT_EQ(0, back.GetCapacity());
    QvPlatformTest::FailAllocationNumber(0);
}

// A long text converts through a work block; without it the conversion fails with its text
// and leaves the destination empty.
TEST(QvUtf16String, LongTextWithoutWorkBlockFailsWithItsText) {
    QvString utf8(Rep8("\xC3\xA9", 1000).c_str()), error, back("x");
    QvUtf16String wide;
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_FALSE(QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, &wide, &error));
    EXPECT_STREQ("ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, could not malloc 4 MB tmp", error.GetText());
    EXPECT_EQ(0, wide.GetLength());
    SetUnits(&wide, Rep16(u"\u00E9", 1000));
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_FALSE(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &back, &error));
    EXPECT_STREQ("ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, could not malloc 4 MB tmp", error.GetText());
    EXPECT_EQ(0, back.GetLength());
    QvPlatformTest::FailAllocationNumber(0);
}

TEST(QvUtf16String, SetAndAppendCopyUnitsIncludingNul) {
    QvUtf16String s;
    const char16_t units[] = {u'a', 0, u'b'};
    s.Set(units, 3);
    EXPECT_EQ(6, s.GetLength());
    s.Append(s.GetText(), 3);  // from its own buffer
    EXPECT_EQ(std::u16string(u"a\0ba\0b", 6), Units(s));
    s.Append(nullptr, 5);
    s.Append(units, 0);
    EXPECT_EQ(12, s.GetLength());
    s.Set(units, -1);
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.GetText()[0]);
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
    for (size_t count : {299, 300, 301}) {  // either side of the short-text work area
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
        EXPECT_STREQ(cases[i].widened ? kInvalidSequence : "", error.GetText()) << "row " << i;
    }
}

TEST(QvUtf16String, ConvertsUtf16ToUtf8UpToFirstNulWithinFourMillionBytes) {
    struct Case { std::u16string units; std::string bytes; bool ok; };
    const std::u16string pair = u"\xD83D\xDE00";
    std::vector<Case> cases = {
        {u"", "", true}, {u"A", "A", true}, {u"\x00E9", "\xC3\xA9", true}, {u"\x07FF", "\xDF\xBF", true},
        {u"\x0800", "\xE0\xA0\x80", true}, {u"\xFFFF", "\xEF\xBF\xBF", true}, {pair, "\xF0\x9F\x98\x80", true},
        {u"\xDC00", "\xED\xB0\x80", true}, {u"\xD83D" "A", "\xED\xA0\xBD" "A", true},
        {u"x\xD83D", "x\xED\xA0\xBD", true}, {u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD", true},
        {std::u16string(u"A\0B", 3), "A", true}, {std::u16string(u"\0B", 2), "", true},
        {Rep16(u"\x20AC", 299), Rep8("\xE2\x82\xAC", 299), true},
        {Rep16(u"\x20AC", 300), Rep8("\xE2\x82\xAC", 300), true},
        // The limit counts the whole source, also what follows a 0 unit.
        {Rep16(u"a", 4000000), Rep8("a", 4000000), true}, {Rep16(u"a", 4000001), "", false},
        {Rep16(u"a", 3999996) + pair, Rep8("a", 3999996) + "\xF0\x9F\x98\x80", true},
        {Rep16(u"a", 3999997) + pair, "", false}, {Rep16(u"\x20AC", 1333334), "", false},
        {std::u16string(u"A\0", 2) + Rep16(u"a", 3999998), "A", true},
        {std::u16string(u"A\0", 2) + Rep16(u"a", 3999999), "", false},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        QvUtf16String source;
        SetUnits(&source, cases[i].units);
        QvString utf8("stale"), error("stale");
        EXPECT_EQ(cases[i].ok, QvUtf16String::ConvertUtf16QvStringToUtf8(&source, &utf8, &error)) << "row " << i;
        EXPECT_TRUE(cases[i].bytes == std::string(utf8.GetText(), size_t(utf8.GetLength()))) << "row " << i;
        EXPECT_STREQ(cases[i].ok ? "" : kOverLimit, error.GetText()) << "row " << i;
    }
}

TEST(QvUtf16String, NullArgumentsFailWithTheirText) {
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

TEST(QvUtf16String, SetsAndAppendsFromUtf8) {
    QvUtf16String path;
    SetUnits(&path, u"old");
    path.SetFromUtf8("\\\\?\\");
    path.AppendUtf8("C:\\\xC3\xA9");
    path.AppendUtf8(nullptr);
    path.AppendUtf8("\xFF");
    EXPECT_EQ(std::u16string(u"\\\\?\\C:\\\x00E9\x00FF"), Units(path));
    path.SetFromUtf8(nullptr);
    EXPECT_EQ(0, path.GetLength());
}
