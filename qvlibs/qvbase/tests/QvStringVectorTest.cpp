// QvStringVector: slot growth and its failure state, ownership of added items, the
// case-insensitive order and the splitting of comma-separated values.
#include "qvbase/QvStringVector.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "qvbase/QvString.h"
#include "QvTestPlatform.h"

namespace {

struct AllocationFailureReset {
    ~AllocationFailureReset() { QvPlatformTest::ResetAllocationCount(); }
};

std::vector<std::string> Items(const QvStringVector& vector) {
    std::vector<std::string> result;
    for (int32_t i = 0; i < vector.GetCount(); i++)
        result.push_back(vector.GetAt(i)->GetText());
    return result;
}

TEST(QvStringVector, GrowsToFiftyThenInStepsOfOneHundred) {
    QvStringVector vector;
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
    EXPECT_EQ(250, vector.GetCount());
    EXPECT_FALSE(vector.EnsureCapacity(-1));
}

TEST(QvStringVector, FailedGrowthLeavesNoSlotsAndTheItemWithTheCaller) {
    AllocationFailureReset reset;
    QvStringVector vector;
    for (int n = 0; n < 50; n++)
        ASSERT_TRUE(vector.Add(new QvString("x")));
    QvString* extra = new QvString("extra");
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_FALSE(vector.Add(extra));
    EXPECT_EQ(0, vector.GetCount());
    EXPECT_EQ(0, vector.GetCapacity());
    EXPECT_EQ(nullptr, vector.GetAt(0));
    EXPECT_STREQ("extra", extra->GetText());  // still ours: ASan reports a double free otherwise
    EXPECT_TRUE(vector.Add(extra));
    EXPECT_EQ(50, vector.GetCapacity());
    EXPECT_FALSE(vector.Add(nullptr));
    EXPECT_EQ(1, vector.GetCount());
}

TEST(QvStringVector, StartsWithoutSlotsWhenNoMemoryAndClearKeepsSlots) {
    AllocationFailureReset reset;
    QvPlatformTest::FailAllocationNumber(1);
    QvStringVector vector;
    EXPECT_EQ(0, vector.GetCapacity());
    ASSERT_TRUE(vector.Add(new QvString("a")));
    ASSERT_TRUE(vector.Add(new QvString("b")));
    vector.Clear();
    EXPECT_EQ(0, vector.GetCount());
    EXPECT_EQ(50, vector.GetCapacity());
}

TEST(QvStringVector, CompareNoCaseFoldsAsciiAndSortsSignedBytesFirst) {
    QvString empty(""), a("a"), upperA("A"), abc("abc"), upperAbc("ABC"), bracket("["), high("\xE9");
    struct Case { const QvString* left; const QvString* right; int expected; };
    const Case cases[] = {
        {nullptr, nullptr, 0}, {nullptr, &empty, -1}, {&empty, nullptr, 1}, {&empty, &empty, 0},
        {&empty, &a, -1}, {&a, &empty, 1}, {&abc, &upperAbc, 0}, {&a, &abc, -1}, {&upperAbc, &a, 1},
        {&bracket, &upperA, -1},  // 'A' folds to 'a' (0x61) before comparing with 0x5B
        {&high, &a, -1},          // 0xE9 is negative as a signed byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, QvStringVector::CompareNoCase(c.left, c.right))
            << (c.left ? c.left->GetText() : "(null)") << " vs " << (c.right ? c.right->GetText() : "(null)");
    QvStringVector vector;
    for (const char* text : {"b", "A", "C", "", "a", "\xE9"})
        vector.Add(new QvString(text));
    vector.SortNoCase();
    std::vector<std::string> sorted = Items(vector);
    if (sorted.size() == 6 && sorted[2] == "a")
        std::swap(sorted[2], sorted[3]);  // equal items come in either order
    EXPECT_EQ((std::vector<std::string>{"", "\xE9", "A", "a", "b", "C"}), sorted);
}

TEST(QvStringVector, SplitCommaListGivesTrimmedFields) {
    struct Case { const char* source; std::vector<std::string> expected; };
    const Case cases[] = {
        {"a, b ,c", {"a", "b", "c"}}, {"a,,b", {"a", "", "b"}}, {"a,", {"a"}}, {",a", {"", "a"}},
        {" x ", {"x"}}, {"", {}}, {",", {""}}, {" , ", {"", ""}}, {"\tdoc ,\r\n", {"doc", ""}}, {"one", {"one"}},
    };
    QvStringVector output;
    output.Add(new QvString("left over"));
    for (const Case& c : cases) {
        QvString source(c.source);
        QvStringVector::SplitCommaList(&source, &output);
        EXPECT_EQ(c.expected, Items(output)) << "source '" << c.source << "'";
    }
    QvStringVector::SplitCommaList(nullptr, &output);
    EXPECT_EQ(std::vector<std::string>{"one"}, Items(output));
    QvStringVector::SplitCommaList(output.GetAt(0), nullptr);
}

}  // namespace
