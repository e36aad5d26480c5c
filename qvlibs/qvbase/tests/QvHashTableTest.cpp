// QvHashTable: the CRC-32 key hash, pool sizing, keys that fall back to the heap once the
// pool runs out, duplicate and empty keys, and the fallbacks when memory is short.
#include "qvbase/QvHashTable.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestPlatform.h"

namespace {
using Numbers = std::vector<long long>;
void InsertText(QvHashTable& table, const char* key) { table.Insert(key, int32_t(strlen(key))); }
bool ContainsText(const QvHashTable& table, const char* key) { return table.Contains(key, int32_t(strlen(key))); }
std::string NumberedKey(int n) { return "type" + std::to_string(1000 + n); }
int released;

TEST(QvHashTable, HashKeyIsTheComplementOfTheStandardCrc32AndThePoolFollowsTheBucketCount) {
    struct Case { const char* key; int32_t length; uint32_t expected; };
    for (const Case& c : {Case{"abc", 3, 0xCADBBE3Du}, {"a", 1, ~0xE8B7BE43u}, {"123456789", 9, ~0xCBF43926u},
                          {"The quick brown fox jumps over the lazy dog", 43, ~0x414FA339u},
                          {"abcdef", 3, ~0x352441C2u},  // only length bytes count
                          {"", 0, 0xFFFFFFFFu}, {"abc", -1, 0xFFFFFFFFu}, {nullptr, 5, 0xFFFFFFFFu}})
        EXPECT_EQ(c.expected, QvHashTable::HashKey(c.key, c.length)) << (c.key ? c.key : "(null)");
    for (auto c : {std::pair<int32_t, int32_t>{50, 4600}, {500, 46000}, {10, 4000}, {0, 4000}, {1200000, 100000000}}) {
        QvHashTable table(c.first);
        EXPECT_TRUE(table.GetPoolSize() == c.second && table.IsAllInPool()) << c.first << ": " << table.GetPoolSize();
    }
}

TEST(QvHashTable, MatchesExactlyTheFirstLengthBytesAndCountsDuplicatesAndCollisions) {
    QvHashTable table(50), one(1);
    table.Insert("mp3player", 3);
    EXPECT_TRUE(ContainsText(table, "mp3") && table.Contains("mp3x", 3));
    for (const char* absent : {"mp", "mp3player", "MP3", ""}) EXPECT_FALSE(ContainsText(table, absent)) << absent;
    EXPECT_FALSE(table.Contains("mp3", -1));
    table.Insert(nullptr, 7), table.Insert("", 0), table.Insert("x", -1);
    EXPECT_TRUE(table.GetEntryCount() == 2 && table.Contains(nullptr, 0));
    for (const char* key : {"a", "b", "c", "b"}) InsertText(one, key);
    EXPECT_TRUE(ContainsText(one, "a") && ContainsText(one, "b") && ContainsText(one, "c"));
    EXPECT_EQ((Numbers{3, 2}), (Numbers{one.GetEntryCount(), one.GetCollisionCount()}));
    one.Clear();
    EXPECT_EQ((Numbers{0, 0}), (Numbers{one.GetEntryCount(), one.GetCollisionCount()}));
}

TEST(QvHashTable, DuplicateKeysTakeNoPoolAndReleaseTheOldValue) {
    released = 0;
    {
        QvHashTable table(50);
        table.SetReleaseValue([](int32_t value) { released += value; });
        InsertText(table, "jpg");
        int32_t used = table.GetPoolUsed();
        InsertText(table, "jpg");
        EXPECT_EQ((Numbers{0, 1, 1, used, 1}), (Numbers{used % 4, table.GetEntryCount(), table.GetSecondEntryCount(),
                                                           table.GetPoolUsed(), released}));
        table.Clear();
        EXPECT_TRUE(released == 2 && !ContainsText(table, "jpg"));
        InsertText(table, "a"), InsertText(table, "b");
    }
    EXPECT_EQ(4, released) << "the destructor releases the values left";
}

TEST(QvHashTable, KeysGoToTheHeapOnceThePoolRunsOut) {
    QvHashTable table(10);
    int firstHeapKey = -1;
    for (int n = 0; n < 400; n++) {
        long long before = QvPlatformTest::GetAllocationCount();
        InsertText(table, NumberedKey(n).c_str());
        if (firstHeapKey < 0 && !table.IsAllInPool()) firstHeapKey = n;
        ASSERT_EQ(firstHeapKey < 0 ? 0 : 2, QvPlatformTest::GetAllocationCount() - before) << "key " << n;
    }
    ASSERT_GT(firstHeapKey, 50);
    EXPECT_LE(table.GetPoolUsed() + 5, table.GetPoolSize());
    for (int n = 0; n < 400; n++) ASSERT_TRUE(ContainsText(table, NumberedKey(n).c_str())) << n;
    table.Clear();  // frees the heap nodes one by one (the leak checker watches); the pool is reused
    EXPECT_TRUE(table.GetPoolUsed() == 0 && !ContainsText(table, NumberedKey(399).c_str()) && !table.IsAllInPool());
    InsertText(table, "doc");
    EXPECT_GT(table.GetPoolUsed(), 0);
    for (int n = 0; n < 400; n++) InsertText(table, NumberedKey(n).c_str());  // the destructor frees the heap keys
}

}  // namespace
