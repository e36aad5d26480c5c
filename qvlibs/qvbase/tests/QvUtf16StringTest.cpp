// QvUtf16String: growth, assignment, and the conversions between UTF-8 and UTF-16 with their
// lenient fallback and size limits. Expected units and bytes are written out by hand.
#include "qvbase/QvUtf16String.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/QvPlatformMemory.h"

namespace {
const char kInvalidSequence[] = "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, "
                                "ConvertUTF8toUTF16 failed on invalid sequence";
const char kOverLimit[] =
    "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, ConvertUTF16toUTF8 failed";

std::u16string Units(const QvUtf16String& s) {
    return std::u16string(s.GetText(), size_t(s.GetUnitCount()));
}
std::string Bytes(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }
void SetUnits(QvUtf16String* s, const std::u16string& units) {
    s->Set(units.data(), int32_t(units.size()));
}

// Converts bytes to UTF-16; returns the result and fills units and error text.
bool ToUtf16(const std::string& bytes, std::u16string* units, std::string* error) {
    QvString source;
    source.Set(bytes.data(), int32_t(bytes.size()));
    QvUtf16String wide;
    QvString errorText("stale");
    bool ok = QvUtf16String::ConvertUtf8QvStringToUtf16(&source, &wide, &errorText);
    *units = Units(wide);
    *error = errorText.GetText();
    return ok;
}

bool ToUtf8(const std::u16string& units, std::string* bytes, std::string* error) {
    QvUtf16String source;
    SetUnits(&source, units);
    QvString utf8("stale"), errorText("stale");
    bool ok = QvUtf16String::ConvertUtf16QvStringToUtf8(&source, &utf8, &errorText);
    *bytes = Bytes(utf8);
    *error = errorText.GetText();
    return ok;
}

void ExpectNoBuffer(const QvUtf16String& s) {
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.GetCapacity());
    EXPECT_EQ(0, s.GetText()[0]);
}
}  // namespace

TEST(QvUtf16String, GrowsInStepsByCurrentCapacity) {
    QvUtf16String s;
    EXPECT_EQ(220, s.GetCapacity());
    EXPECT_EQ(0, s.GetText()[0]);
    struct Step { int32_t request; int32_t capacity; };
    const Step steps[] = {{218, 220},  {219, 240},   {239, 260},    {900, 920},
                          {999, 1020}, {1500, 2502}, {9999, 11002}, {11001, 111004}};
    for (const Step& step : steps) {
        EXPECT_TRUE(s.EnsureCapacity(step.request)) << step.request;
        EXPECT_EQ(step.capacity, s.GetCapacity()) << step.request;
    }
    EXPECT_FALSE(s.EnsureCapacity(-1));
    EXPECT_EQ(111004, s.GetCapacity());
}

TEST(QvUtf16String, AllocationFailureLeavesNoBufferAndRecovers) {
    QvPlatformTest::FailAllocationNumber(1);
    QvUtf16String unborn;
    ExpectNoBuffer(unborn);
    EXPECT_TRUE(unborn.EnsureCapacity(10));
    EXPECT_EQ(200, unborn.GetCapacity());

    QvUtf16String s;
    SetUnits(&s, u"abc");
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_FALSE(s.EnsureCapacity(500));
    ExpectNoBuffer(s);
    s.Set(nullptr, 0);  // a string without a buffer gets its first block back
    EXPECT_EQ(220, s.GetCapacity());

    SetUnits(&s, u"abc");
    QvPlatformTest::FailAllocationNumber(1);
    s.Append(std::u16string(200, u'x').data(), 200);
    ExpectNoBuffer(s);

    QvString utf8(std::string(300, 'a').c_str());
    SetUnits(&s, u"x");
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_TRUE(QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, &s, nullptr));
    ExpectNoBuffer(s);

    SetUnits(&s, std::u16string(100, u'a'));
    QvString back;
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&s, &back, nullptr));
    EXPECT_EQ(0, back.GetCapacity());
    EXPECT_STREQ("", back.GetText());
    QvPlatformTest::FailAllocationNumber(0);
}

TEST(QvUtf16String, SetAndAppendCopyUnitsIncludingNul) {
    QvUtf16String s;
    const char16_t units[] = {u'a', 0, u'b'};
    s.Set(units, 3);
    EXPECT_EQ(6, s.GetLength());
    EXPECT_EQ(std::u16string(units, 3), Units(s));
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
    const Case cases[] = {
        {"", u"", false},
        {"A", u"A", false},
        {std::string("A\0B", 3), std::u16string(u"A\0B", 3), false},
        {"\xC3\xA9", u"\x00E9", false},
        {"\xE0\xA0\x80", u"\x0800", false},
        {"\xE2\x82\xAC", u"\x20AC", false},
        {"\xEF\xBF\xBF", u"\xFFFF", false},
        {"\xED\xA0\x80", u"\xD800", false},                // encoded surrogate passes
        {"\xF0\x90\x80\x80", u"\xD800\xDC00", false},
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00", false},
        {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF", false},
        {std::string("\xF4\x00\x80\x80", 4), u"\xD9C0\xDC00", false},  // no lower bound after F4
        {"A\xE9" "B", u"A\x00E9" "B", true},               // lone E9
        {"A\xC3", u"A\x00C3", true},                       // truncated at the end
        {"\xC0\x80", u"\x00C0\x0080", true},               // overlong NUL
        {"\xE0\x80\x80", u"\x00E0\x0080\x0080", true},
        {"\xF0\x80\x80\x80", u"\x00F0\x0080\x0080\x0080", true},
        {"\xF4\x90\x80\x80", u"\x00F4\x0090\x0080\x0080", true},  // above U+10FFFF
        {"\xF5\x80\x80\x80", u"\x00F5\x0080\x0080\x0080", true},
        {"\xF8\x88\x80\x80\x80", u"\x00F8\x0088\x0080\x0080\x0080", true},
        {"\x80", u"\x0080", true},
        {"\xE2\x82" "A", u"\x00E2\x0082" "A", true},
        {"\xC3\xA9\xFF", u"\x00C3\x00A9\x00FF", true},     // a valid start is widened too
    };
    for (const Case& c : cases) {
        std::u16string units;
        std::string error;
        EXPECT_TRUE(ToUtf16(c.bytes, &units, &error));
        EXPECT_EQ(c.units, units) << "case of " << c.bytes.size() << " bytes: " << c.bytes;
        EXPECT_EQ(c.widened ? kInvalidSequence : "", error) << c.bytes;
    }
}

TEST(QvUtf16String, ConvertsUtf16ToUtf8UpToFirstNul) {
    struct Case { std::u16string units; std::string bytes; };
    const Case cases[] = {
        {u"", ""},
        {u"A", "A"},
        {u"\x00E9", "\xC3\xA9"},
        {u"\x07FF", "\xDF\xBF"},
        {u"\x0800", "\xE0\xA0\x80"},
        {u"\xFFFF", "\xEF\xBF\xBF"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {u"\xDC00", "\xED\xB0\x80"},
        {u"\xD83D" "A", "\xED\xA0\xBD" "A"},
        {u"x\xD83D", "x\xED\xA0\xBD"},
        {u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD"},
        {std::u16string(u"A\0B", 3), "A"},
        {std::u16string(u"\0B", 2), ""},
    };
    for (const Case& c : cases) {
        std::string bytes, error;
        EXPECT_TRUE(ToUtf8(c.units, &bytes, &error));
        EXPECT_EQ(c.bytes, bytes);
        EXPECT_EQ("", error);
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

TEST(QvUtf16String, ConvertsAcrossTheShortTextBoundary) {
    for (int count : {299, 300, 301}) {
        std::u16string units;
        std::string bytes, error;
        // UTF-8 source of count bytes: one 'a' then two-byte characters, or all 'a'.
        std::string utf8 = count % 2 ? "a" : "";
        std::u16string expected = count % 2 ? u"a" : u"";
        for (int i = 0; i < count / 2; ++i) {
            utf8 += "\xC3\xA9";
            expected += u'\x00E9';
        }
        EXPECT_TRUE(ToUtf16(utf8, &units, &error));
        EXPECT_EQ(expected, units) << count;
        EXPECT_TRUE(ToUtf16(utf8 + "\xFF", &units, &error));
        EXPECT_EQ(size_t(count + 1), units.size());
        EXPECT_EQ(u'\x00C3', units[count % 2]);
        EXPECT_EQ(kInvalidSequence, error);
        // UTF-16 source of count units, three bytes each.
        std::string expectedBytes;
        for (int i = 0; i < count; ++i)
            expectedBytes += "\xE2\x82\xAC";
        EXPECT_TRUE(ToUtf8(std::u16string(size_t(count), u'\x20AC'), &bytes, &error));
        EXPECT_EQ(expectedBytes, bytes) << count;
    }
}

TEST(QvUtf16String, LimitsUtf16OutputToTwoMillionUnits) {
    std::u16string units;
    std::string error;
    EXPECT_TRUE(ToUtf16(std::string(1999999, 'a') + "\xC3\xA9", &units, &error));
    EXPECT_EQ(std::u16string(1999999, u'a') + u'\x00E9', units);
    EXPECT_EQ("", error);
    std::string twoByteChars;
    for (int i = 0; i < 1000001; ++i)
        twoByteChars += "\xC3\xA9";  // more bytes than the limit, fewer units
    EXPECT_TRUE(ToUtf16(twoByteChars, &units, &error));
    EXPECT_EQ(std::u16string(1000001, u'\x00E9'), units);
    // One unit too many: the pair does not fit; the first two million bytes are widened.
    EXPECT_TRUE(ToUtf16(std::string(1999999, 'a') + "\xF0\x9F\x98\x80", &units, &error));
    EXPECT_EQ(std::u16string(1999999, u'a') + u'\x00F0', units);
    EXPECT_EQ(kInvalidSequence, error);
    EXPECT_TRUE(ToUtf16(std::string(2000001, 'a'), &units, &error));
    EXPECT_EQ(std::u16string(2000000, u'a'), units);
    EXPECT_EQ(kInvalidSequence, error);
}

TEST(QvUtf16String, LimitsUtf8OutputToFourMillionBytes) {
    // The limit counts the whole source, also what follows a 0 unit.
    struct Case { std::u16string units; bool ok; size_t resultBytes; };
    const std::u16string pair = u"\xD83D\xDE00";
    const Case cases[] = {
        {std::u16string(4000000, u'a'), true, 4000000},
        {std::u16string(4000001, u'a'), false, 0},
        {std::u16string(3999996, u'a') + pair, true, 4000000},
        {std::u16string(3999997, u'a') + pair, false, 0},
        {std::u16string(1333334, u'\x20AC'), false, 0},
        {std::u16string(u"A\0", 2) + std::u16string(3999998, u'a'), true, 1},
        {std::u16string(u"A\0", 2) + std::u16string(3999999, u'a'), false, 0},
    };
    for (const Case& c : cases) {
        std::string bytes, error;
        EXPECT_EQ(c.ok, ToUtf8(c.units, &bytes, &error)) << c.units.size();
        EXPECT_EQ(c.ok ? "" : kOverLimit, error);
        EXPECT_EQ(c.resultBytes, bytes.size());
    }
    std::string bytes, error;
    ASSERT_TRUE(ToUtf8(std::u16string(3999996, u'a') + pair, &bytes, &error));
    EXPECT_EQ(std::string(3999996, 'a') + "\xF0\x9F\x98\x80", bytes);
}

TEST(QvUtf16String, RoundTripsValidTextAndEncodedSurrogates) {
    std::string longText;
    for (int i = 0; i < 400; ++i)
        longText += "z\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::string texts[] = {"C:\\Users\\x\\file.txt", "\xC3\xA9t\xC3\xA9", "\xED\xA0\x80",
                                 "\xED\xB0\x80" "a\xF4\x8F\xBF\xBF", longText};
    for (const std::string& text : texts) {
        QvString utf8(text.c_str()), back, error;
        QvUtf16String wide;
        ASSERT_TRUE(QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, &wide, &error));
        ASSERT_TRUE(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &back, &error));
        EXPECT_EQ(text, Bytes(back));
    }
}

TEST(QvUtf16String, SetsAndAppendsFromUtf8) {
    QvUtf16String path;
    SetUnits(&path, u"old");
    path.SetFromUtf8("\\\\?\\");
    path.AppendUtf8("C:\\\xC3\xA9");
    path.AppendUtf8(nullptr);
    EXPECT_EQ(std::u16string(u"\\\\?\\C:\\\x00E9"), Units(path));
    path.AppendUtf8("\xFF");
    EXPECT_EQ(std::u16string(u"\\\\?\\C:\\\x00E9\x00FF"), Units(path));
    path.SetFromUtf8(nullptr);
    EXPECT_EQ(0, path.GetLength());
    EXPECT_EQ(0, path.GetText()[0]);
}
