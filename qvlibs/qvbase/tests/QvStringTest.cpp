// The string types: QvString, QvUtf16String with the UTF-8/UTF-16 conversions, QvStringVector.
#include "qvbase/QvString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "QvTestCommon.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvUtf16String.h"
#include "QvTestPlatform.h"

namespace {
using Texts = std::vector<std::string>;
using QvPlatformTest::FailAllocationNumber;
const std::string kTo16 = "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, ";
const std::string kTo8 = "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, ";

std::string Rep8(const char* s, size_t n) { std::string r; while (n--) r += s; return r; }
std::u16string Rep16(const char16_t* s, size_t n) { std::u16string r; while (n--) r += s; return r; }
std::u16string Units(const QvUtf16String& s) { return std::u16string(s.GetText(), size_t(s.GetUnitCount())); }
void SetUnits(QvUtf16String* s, const std::u16string& units) { s->Set(units.data(), int32_t(units.size())); }
bool To16(const QvString* u, QvUtf16String* w, QvString* e) {
    return QvUtf16String::ConvertUtf8QvStringToUtf16(u, w, e);
}
bool To8(const QvUtf16String* w, QvString* u, QvString* e) {
    return QvUtf16String::ConvertUtf16QvStringToUtf8(w, u, e);
}
// Text up to the terminator (ASCII), length and capacity: "/0/0" is a string without a buffer.
template <class S> std::string State(const S& s) {
    std::string text;
    for (auto p = s.GetText(); *p; ++p) text += char(*p);
    return text + "/" + std::to_string(s.GetLength()) + "/" + std::to_string(s.GetCapacity());
}
std::string Slots(const QvStringVector& v) {
    return std::to_string(v.GetCount()) + "/" + std::to_string(v.GetCapacity());
}
using QvStrings = QvAllocationFailureTest;
}  // namespace

TEST(QvString, AssignmentFitsTheTextAndGrowthStepsWidenWithTheCapacity) {
    QvString s, appended("12345678901234"), inserted("abc"), byChars;
    EXPECT_EQ("/0/15", State(s));
    s.Set("123456789012345"), appended.Append("5"), inserted.Insert(1, "0123456789012345678");
    EXPECT_EQ((std::vector<int32_t>{26, 35, 35}),
              (std::vector<int32_t>{s.GetCapacity(), appended.GetCapacity(), inserted.GetCapacity()}));
    std::vector<int32_t> grown, expected{15};
    std::string text;
    for (int n = 0; n < 250000; ++n) {
        text += char('a' + n % 26), byChars.AppendChar(text.back());
        if (grown.empty() || grown.back() != byChars.GetCapacity()) grown.push_back(byChars.GetCapacity());
    }
    for (auto step : {std::vector<int32_t>{35, 1015, 20}, {2016, 10024, 1001}, {110025, 310027, 100001}})
        for (int32_t capacity = step[0]; capacity <= step[1]; capacity += step[2]) expected.push_back(capacity);
    EXPECT_EQ(expected, grown);
    EXPECT_TRUE(text == TextOf(byChars));
    struct Case { int32_t capacity, request; bool stepped; long long expected; };
    for (const Case& c : {Case{15, 14, true, 15}, {15, -1, true, 15}, {15, 33, true, 35}, {15, 34, true, 55},
                          {15, 5000, true, 5015}, {15, 5000, false, 5011}, {999, 999, true, 1015},
                          {1000, 1000, true, 2001}, {9999, 9999, true, 11000}, {10000, 10000, true, 110001},
                          {399999, 399999, true, 500000}, {400000, 400000, true, 10400001},
                          {20000000, 20000000, true, 40000001}, {60000000, 60000000, true, 160000001}}) {
        QvString keep("keep");
        ASSERT_TRUE(c.capacity == 15 || keep.EnsureCapacity(c.capacity - 11, false));
        EXPECT_EQ(c.request >= 0, keep.EnsureCapacity(c.request, c.stepped)) << c.request;
        EXPECT_EQ("keep/4/" + std::to_string(c.expected), State(keep)) << "from " << c.capacity << " for " << c.request;
    }
    QvPlatformTest::ResetAllocationCount();
    EXPECT_FALSE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 5, true));
    EXPECT_EQ(0, QvPlatformTest::GetAllocationCount()) << "refused before allocating";
    // The largest stepped request asks for exactly the cap. Seen through a refused
    // allocation first, which holds in any process: a 32-bit one may have no free gigabyte
    // in one piece, and then a refusal is the right answer.
    QvString refused("123456789012345");
    FailAllocationNumber(1);
    EXPECT_FALSE(refused.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ(size_t(QvString::kMaxSteppedCapacity), QvPlatformTest::GetLastAllocationSize())
        << "the largest stepped request asks the allocator for the cap";
    FailAllocationNumber(0);
    if (sizeof(void*) < 8)
        return;  // the real gigabyte only where the address space surely has it
    ASSERT_TRUE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ("123456789012345/15/" + std::to_string(QvString::kMaxSteppedCapacity), State(s));
}

TEST(QvString, AssignsFormatsAndMovesText) {
    QvString s("old"), own("0123456789abc");
    EXPECT_EQ("/0/15", (s.Set(static_cast<const char*>(nullptr)), State(s)));
    EXPECT_EQ("abc/3/15", (s.Set("abcdef", 3), State(s)));
    EXPECT_EQ("/0/15", (s.Set("abcdef", -1), State(s)));
    s.Set("a\0b", 3);
    QvString copy(&s);
    EXPECT_EQ(std::string("a\0b", 3), TextOf(copy));
    EXPECT_EQ(-1, copy.Find(0, "b")) << "searches stop at the first NUL";
    EXPECT_EQ("/0/15", (copy.Set(static_cast<const QvString*>(nullptr)), State(copy)));
    // Sources inside the string's own buffer survive its reallocation.
    own.Append(&own), own.Append(own.GetText() + 10);
    EXPECT_STREQ("0123456789abc0123456789abcabc0123456789abc", own.GetText());
    own.Set(own.GetText() + 10), own.Insert(1, own.GetText() + 16);
    EXPECT_STREQ("aabc0123456789abcbc0123456789abcabc0123456789abc", own.GetText());
    // Within the room left: a text from inside the string, and one from the unused room
    // past its terminator, which the new terminator must not cut.
    QvString room("abcdef");
    room.Append(room.GetText() + 3);
    memcpy(room.GetBuffer() + 11, "xyz", 4);
    room.Append(room.GetText() + 11);
    EXPECT_EQ("abcdefdefxyz/12/15", State(room));
    s.Format("%s=%d;%I64d", "n", -5, static_cast<long long>(-1234567890123456789LL));
    EXPECT_STREQ("n=-5;-1234567890123456789", s.GetText());
    s.Set("x"), s.AppendInt(-5), s.AppendInt64(4294967296LL * 3 + 7), s.AppendInt64(INT64_MIN);
    s.AppendFormat("[%I64d]", static_cast<long long>(1) << 40);
    EXPECT_STREQ("x-512884901895-9223372036854775808[1099511627776]", s.GetText());
    const char* block = s.GetText();
    QvString target(std::move(s));
    EXPECT_TRUE(target.GetText() == block && State(s) == "/0/0") << "the block moves; the source has none left";
}

// NewMid keeps the copy in the object's own block: growing moves it out, moving copies it,
// deleting releases both (the sanitizer and valgrind runs see a wrong release).
TEST_F(QvStrings, HeapCopiesGrowMoveAndDieLikeAnyOtherString) {
    const QvString source("0123456789012345678901234567890123456789");
    std::unique_ptr<QvString> grown(source.NewMid(0, 40)), moved(source.NewMid(30, 10)), failed(source.NewMid(5, 2));
    EXPECT_EQ(source.GetText() + std::string("/40/51"), State(*grown));
    grown->Append("abcdefghijklmn");
    EXPECT_EQ(source.GetText() + std::string("abcdefghijklmn/54/75"), State(*grown));
    QvString target(std::move(*moved));
    EXPECT_EQ("0123456789/10/15|/0/0", State(target) + "|" + State(*moved));
    moved->Append("x");
    EXPECT_EQ("x/1/15", State(*moved));
    FailAllocationNumber(1);
    QvString lost(std::move(*failed));
    EXPECT_EQ("/0/0|/0/0", State(lost) + "|" + State(*failed)) << "a copy that cannot be had leaves both empty";
}

TEST(QvString, EditsExtractsFindsComparesAndParsesWithinTheTextOnly) {
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
        EXPECT_TRUE(TextOf(s) == c.expected && !s.GetText()[s.GetLength()]) << c.op << c.pos << " " << TextOf(s);
    }
    struct Mid { int32_t start, count; const char* expected; };
    for (const Mid& m : {Mid{-5, 2, "he"}, Mid{5, 1, ""}, Mid{1, 100, "ello"}, Mid{1, 0, ""}, Mid{4, 1, "o"}}) {
        QvString hello("hello"), *heap = hello.NewMid(m.start, m.count);
        EXPECT_EQ(std::string(m.expected) + "|" + m.expected,
                  TextOf(hello.Mid(m.start, m.count)) + "|" + TextOf(*heap));
        delete heap;
    }
    struct Find { const char* text; int32_t start; const char* needle; int32_t expected; };
    for (auto c : {Find{"hello", 2, "lo", 3}, {"hello", 0, "", -1}, {"hello", 5, "o", -1}, {"hello", -1, "h", -1},
                   {"hello", 4, "o", 4}, {"hello", 3, "lox", -1}, {"", 0, "a", -1}, {"aab", 0, "ab", 1}}) {
        QvString s(c.text), needle(c.needle);
        EXPECT_EQ(c.expected, s.Find(c.start, c.needle)) << c.text << " from " << c.start;
        EXPECT_EQ(c.expected, s.Find(c.start, &needle)) << c.text << " from " << c.start;
    }
    QvString abc("abc");
    for (auto c : {Find{"", 0, "\0", 3}, {"", 1, "c", 2}, {"", 0, "x", -1}, {"", 3, "\0", -1}, {"", -1, "a", -1}})
        EXPECT_EQ(c.expected, abc.FindChar(c.start, c.needle[0])) << c.start;
    struct Cmp { const char* a; const char* b; int expected; };
    for (const Cmp& c : {Cmp{nullptr, nullptr, 0}, {nullptr, "", 0}, {nullptr, "a", -1}, {"a", nullptr, 1},
                         {"", nullptr, 0}, {"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1}, {"\xE9", "a", -1},
                         {"a", "\xE9", 1}})
        EXPECT_EQ(c.expected, QvString::Compare(c.a, c.b)) << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null");
    for (const Cmp& c : {Cmp{"A.LOG", ".log", 1}, {"log", ".log", 0}, {"x", "", 1}, {"\xC9.LOG", "\xE9.log", 0}})
        EXPECT_EQ(c.expected, QvString(c.a).EndsWithNoCase(c.b)) << c.a;
    struct Number { const char* text; int64_t expected64; int32_t expected32; };
    for (const Number& c : {Number{"-12ab", -12, -12}, {"-x", 7, 7}, {"+", 7, 7}, {" 12", 7, 7}, {"", 7, 7},
                            {"+42", 42, 42}, {"99999999999999999999", 7766279631452241919LL, 1661992959},  // mod 2^64
                            {"4294967297", 4294967297LL, 1}, {"-2147483648", -2147483648LL, INT32_MIN}}) {
        EXPECT_EQ(c.expected64, QvString(c.text).ToInt64(7)) << c.text;
        EXPECT_EQ(c.expected32, QvString(c.text).ToInt(7)) << c.text;
    }
}

TEST_F(QvStrings, Utf16StringSetsAndAppendsUnitsGrowsInStepsAndRecoversFromFailedAllocations) {
    QvUtf16String s;
    struct Step { int32_t request, capacity; };
    for (const Step& step : {Step{218, 220}, {219, 240}, {239, 260}, {900, 920}, {999, 1020}, {1500, 2502},
                             {9999, 11002}, {11001, 111004}, {-1, 111004}}) {
        EXPECT_EQ(step.request >= 0, s.EnsureCapacity(step.request)) << step.request;
        EXPECT_EQ(step.capacity, s.GetCapacity()) << step.request;
    }
    QvString utf8(Rep8("a", 300).c_str()), back, accents(Rep8("\xC3\xA9", 1000).c_str()), error;
    FailAllocationNumber(1);  // from here each step arms one failing allocation
    QvUtf16String none;
    std::string states = State(none) + " ";
    auto note = [&states](bool result, const auto& string) { states += std::to_string(result) + State(string) + " "; };
    note(none.EnsureCapacity(10), none);
    FailAllocationNumber(1), note(none.EnsureCapacity(500), none);
    none.Set(nullptr, 0), note(true, none);  // a string without a buffer gets its first block back
    SetUnits(&none, u"abc"), FailAllocationNumber(1), none.Append(Rep16(u"x", 200).data(), 200), note(true, none);
    SetUnits(&none, u"x"), FailAllocationNumber(1), note(To16(&utf8, &none, nullptr), none);
    SetUnits(&none, Rep16(u"a", 100)), FailAllocationNumber(1), note(To8(&none, &back, nullptr), back);
    EXPECT_EQ("/0/0 1/0/200 0/0/0 1/0/220 1/0/0 1/0/0 1/0/0 ", states);
    // A long text converts through a work block; without it the conversion fails and leaves the destination empty.
    FailAllocationNumber(1);
    EXPECT_FALSE(To16(&accents, &none, &error));
    EXPECT_EQ(kTo16 + "could not malloc 4 MB tmp|0", TextOf(error) + "|" + std::to_string(none.GetLength()));
    SetUnits(&none, Rep16(u"\u00E9", 1000)), back.Set("x"), FailAllocationNumber(1);
    EXPECT_FALSE(To8(&none, &back, &error));
    EXPECT_EQ(kTo8 + "could not malloc 4 MB tmp|0", TextOf(error) + "|" + std::to_string(back.GetLength()));
    QvUtf16String w;
    const char16_t units[] = {u'a', 0, u'b'};
    w.Set(units, 3), w.Append(w.GetText(), 3), w.Append(nullptr, 5), w.Append(units, 0);  // first from its own buffer
    EXPECT_EQ(std::u16string(u"a\0ba\0b", 6), Units(w));
    EXPECT_EQ("/0/220", (w.Set(units, -1), State(w)));
    SetUnits(&w, u"old"), w.SetFromUtf8("\\\\?\\");
    w.AppendUtf8("C:\\\xC3\xA9"), w.AppendUtf8(nullptr), w.AppendUtf8("\xFF");
    EXPECT_EQ(std::u16string(u"\\\\?\\C:\\\x00E9\x00FF"), Units(w));
    EXPECT_EQ(0, (w.SetFromUtf8(nullptr), w.GetLength()));
}

TEST(QvUtf16String, ConvertsUtf8OrWidensTheFirstTwoMillionBytesOfInvalidText) {
    struct Case { std::string bytes; std::u16string units; };
    std::vector<Case> cases = {  // encoded surrogates pass; after F4 the second byte has no lower bound
        {"", u""}, {std::string("A\0B", 3), std::u16string(u"A\0B", 3)}, {"\xC2\x80", u"\x0080"},
        {"\xC3\xA9", u"\x00E9"}, {"\xE0\xA0\x80", u"\x0800"}, {"\xE2\x82\xAC", u"\x20AC"}, {"\xEF\xBF\xBF", u"\xFFFF"},
        {"\xED\xA0\x80", u"\xD800"}, {"\xF0\x90\x80\x80", u"\xD800\xDC00"}, {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"}, {std::string("\xF4\x00\x80\x80", 4), u"\xD9C0\xDC00"},
        {Rep8("z\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 400), Rep16(u"z\x00E9\x20AC\xD83D\xDE00", 400)},
        {Rep8("a", 1999999) + "\xC3\xA9", Rep16(u"a", 1999999) + u"\x00E9"},  // two million units at most
        {Rep8("\xC3\xA9", 1000001), Rep16(u"\x00E9", 1000001)}};
    // Truncated (lone E9, cut at the end), overlong, beyond U+10FFFF, lone continuation, bad second, third or
    // fourth byte, valid start.
    std::vector<std::string> invalid = {"A\xE9" "B", "A\xC3", "\xC0\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80",
                                        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\x80",
                                        "\xC3" "A", "\xE2\x82" "A", "\xF0\x9F" "A\x80", "\xF0\x9F\x98" "A",
                                        "\xC3\xA9\xFF", Rep8("a", 1999999) + "\xF0\x9F\x98\x80", Rep8("a", 2000001)};
    for (size_t count : {749, 750, 751}) {  // bytes either side of the short-text work area
        cases.push_back({(count % 2 ? "a" : "") + Rep8("\xC3\xA9", count / 2),
                         (count % 2 ? u"a" : u"") + Rep16(u"\x00E9", count / 2)});
        invalid.push_back(cases.back().bytes + "\xFF");
    }
    for (const std::string& bytes : invalid) {
        std::u16string widened;
        for (unsigned char byte : bytes.substr(0, 2000000)) widened += char16_t(byte);
        cases.push_back({bytes, widened});
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i) + " of " + std::to_string(cases[i].bytes.size()) + " bytes");
        QvString source, error("stale");
        source.Set(cases[i].bytes.data(), int32_t(cases[i].bytes.size()));
        QvUtf16String wide;
        EXPECT_TRUE(To16(&source, &wide, &error));
        EXPECT_TRUE(cases[i].units == Units(wide));
        EXPECT_EQ(i + invalid.size() < cases.size() ? "" : kTo16 + "ConvertUTF8toUTF16 failed on invalid sequence",
                  TextOf(error));
    }
}

TEST(QvUtf16String, ConvertsUtf16ToUtf8UpToFirstNulWithinFourMillionBytes) {
    struct Case { std::u16string units; std::string bytes; bool ok; };
    const std::u16string pair = u"\xD83D\xDE00";
    const Case cases[] = {
        {u"", "", true}, {u"A", "A", true}, {u"\x00E9", "\xC3\xA9", true}, {u"\x07FF", "\xDF\xBF", true},
        {u"\x0800", "\xE0\xA0\x80", true}, {u"\xFFFF", "\xEF\xBF\xBF", true}, {pair, "\xF0\x9F\x98\x80", true},
        {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF", true},
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
        EXPECT_EQ(c.ok, To8(&source, &utf8, &error));
        EXPECT_TRUE(c.bytes == TextOf(utf8));
        EXPECT_EQ(c.ok ? "" : kTo8 + "ConvertUTF16toUTF8 failed", TextOf(error));
    }
    QvString utf8("a"), error16, error8;
    QvUtf16String wide;
    EXPECT_FALSE(To16(nullptr, &wide, &error16) || To16(&utf8, nullptr, nullptr) || To8(&wide, nullptr, &error8) ||
                 To8(nullptr, &utf8, nullptr));
    EXPECT_EQ(kTo16 + "NULL src arg|" + kTo8 + "NULL src arg|a",
              TextOf(error16) + "|" + TextOf(error8) + "|" + TextOf(utf8));
}

TEST_F(QvStrings, VectorGrowsInStepsComparesFoldingAsciiSortsAndSplitsCommaLists) {
    QvStringVector vector, full;
    std::vector<std::pair<int, int32_t>> growths;  // item number, capacity after adding it
    for (int n = 1; n <= 250; n++) {
        QvString* item = new QvString("x");
        long long before = QvPlatformTest::GetAllocationCount();
        ASSERT_TRUE(vector.Add(item));
        if (QvPlatformTest::GetAllocationCount() != before) growths.push_back({n, vector.GetCapacity()});
    }
    // One spare slot is always kept: the 50th item reallocates to the same size.
    EXPECT_EQ((std::vector<std::pair<int, int32_t>>{{50, 50}, {51, 150}, {150, 250}, {250, 350}}), growths);
    EXPECT_FALSE(vector.EnsureCapacity(-1));
    for (int n = 0; n < 50; n++) ASSERT_TRUE(full.Add(new QvString("x")));
    QvString* extra = new QvString("extra");
    FailAllocationNumber(1);
    EXPECT_FALSE(full.Add(extra));
    EXPECT_TRUE(Slots(full) == "0/0" && full.GetAt(0) == nullptr) << Slots(full);
    EXPECT_STREQ("extra", extra->GetText());  // still ours: ASan reports a double free otherwise
    EXPECT_TRUE(full.Add(extra) && !full.Add(nullptr));
    EXPECT_EQ(Texts{"extra"}, Items(full));
    EXPECT_EQ("0/50", (full.Clear(), Slots(full))) << "slots come back at 50 and clearing keeps them";
    FailAllocationNumber(1);
    QvStringVector none;
    EXPECT_EQ("0/0", Slots(none));
    QvString empty(""), a("a"), upperA("A"), abc("abc"), upperAbc("ABC"), bracket("["), high("\xE9");
    struct Case { const QvString* left; const QvString* right; int expected; };
    for (const Case& c : {Case{nullptr, nullptr, 0}, {nullptr, &empty, -1}, {&empty, nullptr, 1}, {&empty, &empty, 0},
                          {&empty, &a, -1}, {&a, &empty, 1}, {&abc, &upperAbc, 0}, {&a, &abc, -1}, {&upperAbc, &a, 1},
                          {&bracket, &upperA, -1},  // 'A' folds to 'a' (0x61) before comparing with 0x5B
                          {&high, &a, -1}})         // 0xE9 is negative as a signed byte
        EXPECT_EQ(c.expected, QvStringVector::CompareNoCase(c.left, c.right))
            << (c.left ? c.left->GetText() : "(null)") << " vs " << (c.right ? c.right->GetText() : "(null)");
    QvStringVector list;
    for (const char* text : {"b", "A", "C", "", "a", "\xE9"}) list.Add(new QvString(text));
    list.SortNoCase();
    Texts sorted = Items(list);
    if (sorted.size() == 6 && sorted[2] == "a") std::swap(sorted[2], sorted[3]);  // equal items come in either order
    EXPECT_EQ((Texts{"", "\xE9", "A", "a", "b", "C"}), sorted);
    struct Split { const char* source; Texts expected; };
    for (const Split& c : {Split{"a, b ,c", {"a", "b", "c"}}, {"a,,b", {"a", "", "b"}}, {"a,", {"a"}},
                           {",a", {"", "a"}}, {" x ", {"x"}}, {"", {}}, {",", {""}}, {" , ", {"", ""}},
                           {"\tdoc ,\r\n", {"doc", ""}}, {"one", {"one"}}}) {
        QvString source(c.source);
        QvStringVector::SplitCommaList(&source, &list);  // replaces what the vector held
        EXPECT_EQ(c.expected, Items(list)) << "source '" << c.source << "'";
    }
    QvStringVector::SplitCommaList(nullptr, &list);
    EXPECT_EQ(Texts{"one"}, Items(list));
    QvStringVector::SplitCommaList(list.GetAt(0), nullptr);
}
