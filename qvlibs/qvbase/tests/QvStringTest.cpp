// The string types: QvString, QvUtf16String with the UTF-8/UTF-16 conversions, QvStringVector.
#include "qvbase/QvString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <tuple>
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
constexpr auto To16 = QvUtf16String::ConvertUtf8QvStringToUtf16;
constexpr auto To8 = QvUtf16String::ConvertUtf16QvStringToUtf8;
// A C string or a QvString's text as gtest prints one: quoted, with escapes.
std::string Quoted(const char* s) { return s ? ::testing::PrintToString(std::string(s)) : "null"; }
std::string Quoted(const QvString* s) { return s ? Quoted(s->GetText()) : "null"; }
// The text up to the length, marked when no terminator follows it.
std::string TerminatedText(const QvString& s) { return (s.GetText()[s.GetLength()] ? "(no NUL) " : "") + TextOf(s); }
// A converted text in a failure message by its beginning and size (gtest would print millions of units).
template <class Text> std::string Shown(const Text& text) {
    return ::testing::PrintToString(text.substr(0, 12)) + " (" + std::to_string(text.size()) + " units)";
}

// What a string holds: (text up to the terminator, in ASCII; length; capacity).
using State = std::tuple<std::string, int32_t, int32_t>;
template <class S> State StateOf(const S& s) {
    std::string text;
    for (auto p = s.GetText(); *p; ++p) text += char(*p);
    return State{text, s.GetLength(), s.GetCapacity()};
}
const State kNoBuffer{"", 0, 0};
using QvStrings = QvAllocationFailureTest;
}  // namespace

TEST(QvString, SetGivesRoomForTheTextAndElevenMoreAndEmptiesForNullOrANegativeCount) {
    QvString s("old");
    s.Set(static_cast<const char*>(nullptr));
    EXPECT_EQ((State{"", 0, 15}), StateOf(s)) << "Set(null C string) over \"old\"";
    s.Set("abcdef", 3);
    EXPECT_EQ((State{"abc", 3, 15}), StateOf(s)) << "Set(\"abcdef\", 3)";
    s.Set("abcdef", -1);
    EXPECT_EQ((State{"", 0, 15}), StateOf(s)) << "Set(\"abcdef\", -1)";
    s.Set("123456789012345");
    EXPECT_EQ((State{"123456789012345", 15, 26}), StateOf(s)) << "Set of 15 characters";
    s.Set("a\0b", 3);
    QvString copy(&s);
    EXPECT_EQ(std::string("a\0b", 3), TextOf(copy)) << "a copy of \"a\\0b\"";
    EXPECT_EQ(-1, copy.Find(0, "b")) << "Find(0, \"b\") in \"a\\0b\": searches stop at the first NUL";
    copy.Set(static_cast<const QvString*>(nullptr));
    EXPECT_EQ((State{"", 0, 15}), StateOf(copy)) << "Set(null QvString)";
}

TEST(QvString, AppendingGrowsInStepsThatWidenWithTheCapacity) {
    QvString appended("12345678901234"), inserted("abc"), byChars;
    appended.Append("5");
    EXPECT_EQ(35, appended.GetCapacity()) << "Append(\"5\") to 14 characters at capacity 15";
    inserted.Insert(1, "0123456789012345678");
    EXPECT_EQ(35, inserted.GetCapacity()) << "Insert of 19 characters into \"abc\" at capacity 15";
    // Through all three step widths; the last capacity is right only if every step was.
    std::string text;
    for (int n = 0; n < 250000; ++n) {
        text += char('a' + n % 26);
        byChars.AppendChar(text.back());
    }
    EXPECT_EQ(310027, byChars.GetCapacity()) << "the capacity after AppendChar added 250000 characters";
    EXPECT_TRUE(text == TextOf(byChars)) << "the text after AppendChar added 250000 characters";
}

TEST(QvString, EnsureCapacityKeepsTheTextAndGrowsByTheRuleItIsGiven) {
    struct Case { int32_t capacity, request; bool stepped; int32_t expected; };
    const Case cases[] = {  // {capacity before, request, stepped, capacity after}
        {15, 14, true, 15}, {15, -1, true, 15}, {15, 33, true, 35}, {15, 34, true, 55}, {15, 5000, true, 5015},
        {15, 5000, false, 5011}, {999, 999, true, 1015}, {1000, 1000, true, 2001}, {9999, 9999, true, 11000},
        {10000, 10000, true, 110001}, {399999, 399999, true, 500000}, {400000, 400000, true, 10400001},
        {20000000, 20000000, true, 40000001}, {60000000, 60000000, true, 160000001}};
    for (const Case& c : cases) {
        QvString s("keep");
        ASSERT_TRUE(s.EnsureCapacity(c.capacity - 11, false)) << "EnsureCapacity(" << c.capacity - 11 << ", false)";
        const std::string call = "EnsureCapacity(" + std::to_string(c.request) + (c.stepped ? ", true)" : ", false)") +
                                 " from capacity " + std::to_string(s.GetCapacity());
        EXPECT_EQ(c.request >= 0, s.EnsureCapacity(c.request, c.stepped)) << call;
        EXPECT_EQ((State{"keep", 4, c.expected}), StateOf(s)) << call;
    }
}

// The largest stepped request asks for exactly the cap. Seen through a refused allocation
// first, which holds in any process: a 32-bit one may have no free gigabyte in one piece,
// and then a refusal is the right answer.
TEST_F(QvStrings, SteppedGrowthAsksForTheCapAtMostAndRefusesMoreWithoutAllocating) {
    QvString s("123456789012345"), refused("123456789012345");
    QvPlatformTest::ResetAllocationCount();
    EXPECT_FALSE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 5, true));
    EXPECT_EQ(0, QvPlatformTest::GetAllocationCount()) << "allocations of EnsureCapacity(cap - 5, true)";
    FailAllocationNumber(1);
    EXPECT_FALSE(refused.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ(size_t(QvString::kMaxSteppedCapacity), QvPlatformTest::GetLastAllocationSize())
        << "the allocation EnsureCapacity(cap - 6, true) asks for";
    FailAllocationNumber(0);
    if (sizeof(void*) < 8)
        return;  // the real gigabyte only where the address space surely has it
    ASSERT_TRUE(s.EnsureCapacity(QvString::kMaxSteppedCapacity - 6, true));
    EXPECT_EQ((State{"123456789012345", 15, QvString::kMaxSteppedCapacity}), StateOf(s));
}

TEST(QvString, TextTakenFromItsOwnBufferSurvivesTheChangeOfThatBuffer) {
    QvString own("0123456789abc"), room("abcdef");
    own.Append(&own);
    own.Append(own.GetText() + 10);
    EXPECT_STREQ("0123456789abc0123456789abcabc0123456789abc", own.GetText()) << "Append(itself), Append(from 10)";
    own.Set(own.GetText() + 10);
    own.Insert(1, own.GetText() + 16);
    EXPECT_STREQ("aabc0123456789abcbc0123456789abcabc0123456789abc", own.GetText()) << "Set(from 10), Insert(1, 16)";
    // Within the room left: a text from inside the string, and one from the unused room
    // past its terminator, which the new terminator must not cut.
    room.Append(room.GetText() + 3);
    memcpy(room.GetBuffer() + 11, "xyz", 4);
    room.Append(room.GetText() + 11);
    EXPECT_EQ((State{"abcdefdefxyz", 12, 15}), StateOf(room)) << "Append(from 3), Append of \"xyz\" past the NUL";
}

TEST(QvString, FormatsAndAppendsNumbersOf64Bits) {
    QvString s;
    s.Format("%s=%d;%I64d", "n", -5, static_cast<long long>(-1234567890123456789LL));
    EXPECT_STREQ("n=-5;-1234567890123456789", s.GetText()) << "Format(\"%s=%d;%I64d\", \"n\", -5, ...)";
    s.Set("x");
    s.AppendInt(-5);
    s.AppendInt64(INT64_MIN);
    s.AppendFormat("[%I64d]", static_cast<long long>(1) << 40);
    EXPECT_STREQ("x-5-9223372036854775808[1099511627776]", s.GetText())
        << "\"x\", AppendInt(-5), AppendInt64(INT64_MIN), AppendFormat(\"[%I64d]\", 2^40)";
}

// Moving hands the buffer over. NewMid keeps the copy in the object's own block: growing
// moves it out, moving copies it, deleting releases both (the sanitizer and valgrind runs see
// a wrong release).
TEST_F(QvStrings, HeapCopiesGrowMoveAndDieLikeAnyOtherString) {
    QvString plain("0123456789abcdefghij");
    const void* block = plain.GetText();
    QvString moveTarget(std::move(plain));
    EXPECT_EQ(block, static_cast<const void*>(moveTarget.GetText())) << "the buffer of a plain string moved";
    EXPECT_EQ(kNoBuffer, StateOf(plain)) << "a plain string moved from";
    const QvString source("0123456789012345678901234567890123456789");
    std::unique_ptr<QvString> grown(source.NewMid(0, 40));
    std::unique_ptr<QvString> moved(source.NewMid(30, 10));
    std::unique_ptr<QvString> failed(source.NewMid(5, 2));
    EXPECT_EQ((State{source.GetText(), 40, 51}), StateOf(*grown)) << "NewMid(0, 40)";
    grown->Append("abcdefghijklmn");
    EXPECT_EQ((State{source.GetText() + std::string("abcdefghijklmn"), 54, 75}), StateOf(*grown)) << "then Append";
    QvString target(std::move(*moved));
    EXPECT_EQ((State{"0123456789", 10, 15}), StateOf(target)) << "moved from NewMid(30, 10)";
    EXPECT_EQ(kNoBuffer, StateOf(*moved)) << "NewMid(30, 10) after the move";
    moved->Append("x");
    EXPECT_EQ((State{"x", 1, 15}), StateOf(*moved)) << "Append(\"x\") to the moved-from copy";
    FailAllocationNumber(1);
    QvString lost(std::move(*failed));
    EXPECT_EQ(kNoBuffer, StateOf(lost)) << "moved from a copy while the allocation fails";
    EXPECT_EQ(kNoBuffer, StateOf(*failed)) << "a copy whose move could not allocate";
}

TEST(QvString, EditsAndCopiedPartsTakeOnlyWhatLiesWithinTheText) {
    struct Insert { const char* start; int32_t pos; const char* text; const char* expected; };
    for (const Insert& c : {Insert{"abc", 3, "X", "abcX"}, {"abc", 4, "X", "abc"}, {"abc", 1, "XY", "aXYbc"},
                            {"abc", -1, "X", "abc"}, {"abc", 1, "", "abc"}, {"", 0, "X", "X"}}) {
        QvString s(c.start);
        s.Insert(c.pos, c.text);
        EXPECT_EQ(c.expected, TerminatedText(s)) << "Insert(" << c.pos << ", " << Quoted(c.text) << ") into "
                                                 << Quoted(c.start);
    }
    struct Delete { int32_t pos, count; const char* expected; };
    for (const Delete& c : {Delete{1, 100, "a"}, {5, 1, "abcde"}, {6, 1, "abcdef"}, {-1, 2, "abcdef"},
                            {2, 0, "abcdef"}}) {
        QvString s("abcdef");
        s.Delete(c.pos, c.count);
        EXPECT_EQ(c.expected, TerminatedText(s)) << "Delete(" << c.pos << ", " << c.count << ") from \"abcdef\"";
    }
    // Trim takes space, tab, CR and LF only; MakeLower folds A to Z only.
    struct Change { const char* start; const char* expected; };
    for (const Change& c : {Change{" \t\r\nab c\n", "ab c"}, {" \t\r\n", ""}, {"\xA0x\v", "\xA0x\v"}}) {
        QvString s(c.start);
        s.Trim();
        EXPECT_EQ(c.expected, TerminatedText(s)) << "Trim of " << Quoted(c.start);
    }
    QvString s("AZaz@[`{\xC3\x89");
    s.MakeLower();
    EXPECT_EQ("azaz@[`{\xC3\x89", TerminatedText(s)) << "MakeLower";
    const QvString hello("hello");
    struct Mid { int32_t start, count; const char* expected; };
    for (const Mid& m : {Mid{-5, 2, "he"}, {5, 1, ""}, {1, 100, "ello"}, {1, 0, ""}, {4, 1, "o"}}) {
        const std::string range = "(" + std::to_string(m.start) + ", " + std::to_string(m.count) + ") of \"hello\"";
        EXPECT_EQ(m.expected, TextOf(hello.Mid(m.start, m.count))) << "Mid" << range;
        std::unique_ptr<QvString> heap(hello.NewMid(m.start, m.count));
        ASSERT_NE(nullptr, heap) << "NewMid" << range;
        EXPECT_EQ(m.expected, TextOf(*heap)) << "NewMid" << range;
    }
}

// Searches give the first match from the start or -1; comparisons take bytes as signed and
// null as the empty text, and fold A to Z only; numbers are a leading signed decimal or the default.
TEST(QvString, FindsComparesAndParsesWithinTheTextOnly) {
    struct Find { const char* text; int32_t start; const char* needle; int32_t expected; };
    for (const Find& c : {Find{"hello", 2, "lo", 3}, {"hello", 0, "", -1}, {"hello", 5, "o", -1},
                          {"hello", -1, "h", -1}, {"hello", 4, "o", 4}, {"hello", 3, "lox", -1}, {"aab", 0, "ab", 1}}) {
        const QvString s(c.text), needle(c.needle);
        const std::string call = "(" + std::to_string(c.start) + ", " + Quoted(c.needle) + ") in " + Quoted(c.text);
        EXPECT_EQ(c.expected, s.Find(c.start, c.needle)) << "Find" << call;
        EXPECT_EQ(c.expected, s.Find(c.start, &needle)) << "Find with a QvString" << call;
    }
    const QvString abc("abc");
    struct FindChar { int32_t start; char c; int32_t expected; };
    for (const FindChar& c : {FindChar{0, '\0', 3}, {1, 'c', 2}, {0, 'x', -1}, {3, '\0', -1}, {-1, 'a', -1}})
        EXPECT_EQ(c.expected, abc.FindChar(c.start, c.c))
            << "FindChar(" << c.start << ", " << ::testing::PrintToString(c.c) << ") in \"abc\"";
    struct Compare { const char* a; const char* b; int expected; };
    for (const Compare& c : {Compare{nullptr, nullptr, 0}, {nullptr, "", 0}, {nullptr, "a", -1}, {"a", nullptr, 1},
                             {"abc", "abc", 0}, {"abc", "abd", -1}, {"abc", "ab", 1}, {"\xE9", "a", -1}})
        EXPECT_EQ(c.expected, QvString::Compare(c.a, c.b)) << "Compare(" << Quoted(c.a) << ", " << Quoted(c.b) << ")";
    struct Suffix { const char* text; const char* suffix; bool expected; };
    for (const Suffix& c : {Suffix{"A.LOG", ".log", true}, {"log", ".log", false}, {"\xC9.LOG", "\xE9.log", false}})
        EXPECT_EQ(c.expected, QvString(c.text).EndsWithNoCase(c.suffix))
            << "EndsWithNoCase(" << Quoted(c.suffix) << ") of " << Quoted(c.text);
    struct Number { const char* text; int64_t expected64; int32_t expected32; };
    for (const Number& c : {Number{"-12ab", -12, -12}, {"+", 7, 7}, {" 12", 7, 7}, {"+42", 42, 42},
                            {"99999999999999999999", 7766279631452241919LL, 1661992959},  // mod 2^64
                            {"4294967297", 4294967297LL, 1}, {"-2147483648", -2147483648LL, INT32_MIN}}) {
        EXPECT_EQ(c.expected64, QvString(c.text).ToInt64(7)) << "ToInt64(7) of " << Quoted(c.text);
        EXPECT_EQ(c.expected32, QvString(c.text).ToInt(7)) << "ToInt(7) of " << Quoted(c.text);
    }
}

TEST(QvUtf16String, GrowsInStepsAndTakesCountedUnitsOrUtf8Text) {
    QvUtf16String s;
    struct Step { int32_t request, capacity; };
    for (const Step& step : {Step{218, 220}, {219, 240}, {999, 1020}, {1500, 2502}, {9999, 11002}, {11001, 111004},
                             {-1, 111004}}) {
        const std::string call = "EnsureCapacity(" + std::to_string(step.request) + ") from " +
                                 std::to_string(s.GetCapacity());
        EXPECT_EQ(step.request >= 0, s.EnsureCapacity(step.request)) << call;
        EXPECT_EQ(step.capacity, s.GetCapacity()) << call;
    }
    const char16_t units[] = {u'a', 0, u'b'};
    QvUtf16String w;
    w.Set(units, 3);
    w.Append(w.GetText(), 3);  // from its own buffer
    w.Append(nullptr, 5);
    w.Append(units, 0);
    EXPECT_EQ(std::u16string(u"a\0ba\0b", 6), Units(w)) << "Set(a\\0b, 3), Append(itself, 3), (null, 5), (units, 0)";
    w.Set(units, -1);
    EXPECT_EQ((State{"", 0, 220}), StateOf(w)) << "Set(units, -1)";
    SetUnits(&w, u"old");
    w.SetFromUtf8("\\\\?\\");
    w.AppendUtf8("C:\\\xC3\xA9");
    w.AppendUtf8(nullptr);
    w.AppendUtf8("\xFF");
    EXPECT_EQ(std::u16string(u"\\\\?\\C:\\\x00E9\x00FF"), Units(w))
        << "SetFromUtf8(\"\\\\?\\\") over \"old\", then AppendUtf8 of \"C:\\\\xC3\\xA9\", null and \"\\xFF\"";
    w.SetFromUtf8(nullptr);
    EXPECT_EQ(0, w.GetLength()) << "SetFromUtf8(null)";
}

TEST_F(QvStrings, Utf16StringWithoutMemoryHasNoBufferUntilTheNextGrowthOrAssignment) {
    FailAllocationNumber(1);
    QvUtf16String s;
    EXPECT_EQ(kNoBuffer, StateOf(s)) << "constructed while the allocation fails";
    EXPECT_TRUE(s.EnsureCapacity(10));
    EXPECT_EQ((State{"", 0, 200}), StateOf(s)) << "EnsureCapacity(10) without a buffer";
    FailAllocationNumber(1);
    EXPECT_FALSE(s.EnsureCapacity(500));
    EXPECT_EQ(kNoBuffer, StateOf(s)) << "EnsureCapacity(500) while the allocation fails";
    s.Set(nullptr, 0);
    EXPECT_EQ((State{"", 0, 220}), StateOf(s)) << "Set(null, 0) without a buffer gets the first block back";
    SetUnits(&s, u"abc");
    FailAllocationNumber(1);
    s.Append(Rep16(u"x", 200).data(), 200);
    EXPECT_EQ(kNoBuffer, StateOf(s)) << "Append of 200 units to \"abc\" while the allocation fails";
}

// A conversion whose destination cannot grow succeeds with an empty text. A long text
// converts through a work block; without it the conversion fails, the destination emptied.
TEST_F(QvStrings, ConversionsWithoutMemoryLeaveTheDestinationEmpty) {
    const QvString ascii(Rep8("a", 300).c_str()), accents(Rep8("\xC3\xA9", 1000).c_str());
    QvString utf8, error;
    QvUtf16String wide;
    SetUnits(&wide, u"x");
    FailAllocationNumber(1);
    EXPECT_TRUE(To16(&ascii, &wide, nullptr));
    EXPECT_EQ(kNoBuffer, StateOf(wide)) << "300 bytes to UTF-16 while the destination cannot grow";
    SetUnits(&wide, Rep16(u"a", 100));
    FailAllocationNumber(1);
    EXPECT_TRUE(To8(&wide, &utf8, nullptr));
    EXPECT_EQ(kNoBuffer, StateOf(utf8)) << "100 units to UTF-8 while the destination cannot grow";
    FailAllocationNumber(1);
    EXPECT_FALSE(To16(&accents, &wide, &error));
    EXPECT_EQ(kTo16 + "could not malloc 4 MB tmp", TextOf(error));
    EXPECT_EQ(0, wide.GetLength()) << "UTF-16 destination of 2000 bytes without the work block";
    SetUnits(&wide, Rep16(u"\u00E9", 1000));
    utf8.Set("x");
    FailAllocationNumber(1);
    EXPECT_FALSE(To8(&wide, &utf8, &error));
    EXPECT_EQ(kTo8 + "could not malloc 4 MB tmp", TextOf(error));
    EXPECT_EQ(0, utf8.GetLength()) << "UTF-8 destination of 1000 units without the work block";
}

TEST(QvUtf16String, ConvertsUtf8OrWidensTheFirstTwoMillionBytesOfInvalidText) {
    struct Case { std::string bytes; std::u16string units; bool invalid = false; };
    std::vector<Case> cases = {  // encoded surrogates pass; after F4 the second byte has no lower bound
        {"", u""}, {std::string("A\0B", 3), std::u16string(u"A\0B", 3)}, {"\xC2\x80", u"\x0080"},
        {"\xE0\xA0\x80", u"\x0800"}, {"\xEF\xBF\xBF", u"\xFFFF"}, {"\xED\xA0\x80", u"\xD800"},
        {"\xF0\x90\x80\x80", u"\xD800\xDC00"}, {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        {std::string("\xF4\x00\x80\x80", 4), u"\xD9C0\xDC00"},
        {Rep8("z\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 400), Rep16(u"z\x00E9\x20AC\xD83D\xDE00", 400)},
        {Rep8("a", 1999999) + "\xC3\xA9", Rep16(u"a", 1999999) + u"\x00E9"},  // two million units at most
        {Rep8("\xC3\xA9", 1000001), Rep16(u"\x00E9", 1000001)}};
    // Truncated (lone E9, cut at the end), overlong, beyond U+10FFFF, lone continuation, bad second, third or
    // fourth byte, valid start.
    Texts invalid = {"A\xE9" "B", "A\xC3", "\xC0\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80",
                     "\xF5\x80\x80\x80", "\x80", "\xC3" "A", "\xE2\x82" "A", "\xF0\x9F" "A\x80", "\xF0\x9F\x98" "A",
                     Rep8("a", 1999999) + "\xF0\x9F\x98\x80", Rep8("a", 2000001)};
    for (size_t count : {749, 750, 751}) {  // bytes either side of the short-text work area
        cases.push_back({(count % 2 ? "a" : "") + Rep8("\xC3\xA9", count / 2),
                         (count % 2 ? u"a" : u"") + Rep16(u"\x00E9", count / 2)});
        invalid.push_back(cases.back().bytes + "\xFF");
    }
    for (const std::string& bytes : invalid) {
        std::u16string widened;
        for (unsigned char byte : bytes.substr(0, 2000000)) widened += char16_t(byte);
        cases.push_back({bytes, widened, true});
    }
    for (const Case& c : cases) {
        QvString source, error("stale");
        source.Set(c.bytes.data(), int32_t(c.bytes.size()));
        QvUtf16String wide;
        const std::string call = "ConvertUtf8QvStringToUtf16 of " + Shown(c.bytes);
        EXPECT_TRUE(To16(&source, &wide, &error)) << call;
        EXPECT_TRUE(c.units == Units(wide)) << call << " gave " << Shown(Units(wide)) << ", expected "
                                             << Shown(c.units);
        EXPECT_EQ(c.invalid ? kTo16 + "ConvertUTF8toUTF16 failed on invalid sequence" : "", TextOf(error)) << call;
    }
}

TEST(QvUtf16String, ConvertsUtf16ToUtf8UpToFirstNulWithinFourMillionBytes) {
    struct Case { std::u16string units; std::string bytes; bool ok; };
    const std::u16string pair = u"\xD83D\xDE00";
    const Case cases[] = {  // unpaired surrogates are encoded as themselves
        {u"", "", true}, {u"\x07FF", "\xDF\xBF", true}, {u"\x0800", "\xE0\xA0\x80", true},
        {u"\xFFFF", "\xEF\xBF\xBF", true}, {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF", true},
        {u"\xDC00", "\xED\xB0\x80", true}, {u"\xD83D" "A", "\xED\xA0\xBD" "A", true},
        {u"x\xD83D", "x\xED\xA0\xBD", true}, {u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD", true},
        {std::u16string(u"A\0B", 3), "A", true},
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
        QvUtf16String source;
        SetUnits(&source, c.units);
        QvString utf8("stale"), error("stale");
        const std::string call = "ConvertUtf16QvStringToUtf8 of " + Shown(c.units);
        EXPECT_EQ(c.ok, To8(&source, &utf8, &error)) << call;
        EXPECT_TRUE(c.bytes == TextOf(utf8)) << call << " gave " << Shown(TextOf(utf8)) << ", expected "
                                             << Shown(c.bytes);
        EXPECT_EQ(c.ok ? "" : kTo8 + "ConvertUTF16toUTF8 failed", TextOf(error)) << call;
    }
}

TEST(QvUtf16String, ConversionsRefuseANullSourceOrDestination) {
    QvString utf8("a"), error16, error8;
    QvUtf16String wide;
    EXPECT_FALSE(To16(nullptr, &wide, &error16)) << "UTF-8 to UTF-16 from null";
    EXPECT_EQ(kTo16 + "NULL src arg", TextOf(error16));
    EXPECT_FALSE(To16(&utf8, nullptr, nullptr)) << "UTF-8 to UTF-16 into null";
    EXPECT_FALSE(To8(&wide, nullptr, &error8)) << "UTF-16 to UTF-8 into null";
    EXPECT_EQ(kTo8 + "NULL src arg", TextOf(error8));
    EXPECT_FALSE(To8(nullptr, &utf8, nullptr)) << "UTF-16 to UTF-8 from null";
    EXPECT_EQ("a", TextOf(utf8)) << "the destination of a conversion from null";
}

TEST_F(QvStrings, VectorGrowsInStepsOfAHundredOrLetsGoOfItsItemsWhenItCannot) {
    QvStringVector vector;
    std::vector<std::pair<int, int32_t>> growths;  // item number, capacity after adding it
    for (int n = 1; n <= 250; n++) {
        QvString* item = new QvString("x");
        const long long before = QvPlatformTest::GetAllocationCount();
        ASSERT_TRUE(vector.Add(item)) << "Add of item " << n;
        if (QvPlatformTest::GetAllocationCount() != before) growths.push_back({n, vector.GetCapacity()});
    }
    // One spare slot is always kept: the 50th item reallocates to the same size.
    EXPECT_EQ((std::vector<std::pair<int, int32_t>>{{50, 50}, {51, 150}, {150, 250}, {250, 350}}), growths);
    EXPECT_FALSE(vector.EnsureCapacity(-1));
    // A vector that cannot grow lets go of its items and leaves the new one to the caller.
    QvStringVector full;
    for (int n = 0; n < 50; n++) ASSERT_TRUE(full.Add(new QvString("x")));
    QvString* extra = new QvString("extra");
    FailAllocationNumber(1);
    EXPECT_FALSE(full.Add(extra)) << "Add to 50 items while the slots cannot grow";
    EXPECT_EQ(0, full.GetCount()) << "items after the failed growth";
    EXPECT_EQ(0, full.GetCapacity()) << "slots after the failed growth";
    EXPECT_STREQ("extra", extra->GetText());  // still ours: ASan reports a double free otherwise
    EXPECT_TRUE(full.Add(extra)) << "Add to a vector without slots";
    EXPECT_FALSE(full.Add(nullptr)) << "Add(null)";
    EXPECT_EQ(Texts{"extra"}, Items(full));
    full.Clear();
    EXPECT_EQ(0, full.GetCount()) << "items after Clear";
    EXPECT_EQ(50, full.GetCapacity()) << "slots come back at 50 and clearing keeps them";
    FailAllocationNumber(1);
    QvStringVector none;
    EXPECT_EQ(0, none.GetCount()) << "items of a vector constructed while the allocation fails";
    EXPECT_EQ(0, none.GetCapacity()) << "slots of a vector constructed while the allocation fails";
}

TEST(QvStringVector, ComparesAndSortsFoldingAsciiWithSignedBytesAndNullFirst) {
    const QvString empty(""), a("a"), upperA("A"), abc("abc"), upperAbc("ABC"), bracket("["), high("\xE9");
    struct Case { const QvString* left; const QvString* right; int expected; };
    for (const Case& c : {Case{nullptr, nullptr, 0}, {nullptr, &empty, -1}, {&empty, nullptr, 1}, {&empty, &a, -1},
                          {&abc, &upperAbc, 0}, {&a, &abc, -1}, {&upperAbc, &a, 1},
                          {&bracket, &upperA, -1},  // 'A' folds to 'a' (0x61) before comparing with 0x5B
                          {&high, &a, -1}})         // 0xE9 is negative as a signed byte
        EXPECT_EQ(c.expected, QvStringVector::CompareNoCase(c.left, c.right))
            << "CompareNoCase(" << Quoted(c.left) << ", " << Quoted(c.right) << ")";
    QvStringVector list;
    for (const char* text : {"b", "A", "C", "", "a", "\xE9"}) list.Add(new QvString(text));
    list.SortNoCase();
    Texts sorted = Items(list);
    if (sorted.size() == 6 && sorted[2] == "a") std::swap(sorted[2], sorted[3]);  // equal items come in either order
    EXPECT_EQ((Texts{"", "\xE9", "A", "a", "b", "C"}), sorted) << "SortNoCase of b, A, C, \"\", a, \\xE9";
}

TEST(QvStringVector, SplitCommaListReplacesTheItemsWithTheTrimmedFields) {
    QvStringVector list;
    struct Split { const char* source; Texts expected; };
    for (const Split& c : {Split{"a, b ,c", {"a", "b", "c"}}, {"a,,b", {"a", "", "b"}}, {"a,", {"a"}},
                           {",a", {"", "a"}}, {"", {}}, {" , ", {"", ""}}, {"\tdoc ,\r\n", {"doc", ""}},
                           {"one", {"one"}}}) {
        const QvString source(c.source);
        QvStringVector::SplitCommaList(&source, &list);
        EXPECT_EQ(c.expected, Items(list)) << "SplitCommaList of " << Quoted(c.source) << " over the last split";
    }
    QvStringVector::SplitCommaList(nullptr, &list);
    EXPECT_EQ(Texts{"one"}, Items(list)) << "SplitCommaList(null, list) leaves the list as it was";
    QvStringVector::SplitCommaList(list.GetAt(0), nullptr);  // a null output is ignored
}
