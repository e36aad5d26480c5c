// QvHashTable: the CRC-32 key hash, pool sizing, keys that fall back to the heap once the
// pool runs out, duplicate and empty keys, and the fallbacks when memory is short.
#include "qvbase/QvHashTable.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "QvTestPlatform.h"

namespace {
void InsertText(QvHashTable& table, const char* key) { table.Insert(key, int32_t(strlen(key))); }
bool ContainsText(const QvHashTable& table, const char* key) { return table.Contains(key, int32_t(strlen(key))); }
std::string NumberedKey(int n) { return "type" + std::to_string(1000 + n); }
int released;

TEST(QvHashTable, HashKeyIsTheComplementOfTheStandardCrc32AndThePoolFollowsTheBucketCount) {
    struct Hash { const char* key; int32_t length; uint32_t expected; };
    for (const Hash& c : {Hash{"123456789", 9, ~0xCBF43926u}, {"abcdef", 3, ~0x352441C2u},  // only length bytes count
                          {"", 0, 0xFFFFFFFFu}, {"abc", -1, 0xFFFFFFFFu}, {nullptr, 5, 0xFFFFFFFFu}})
        EXPECT_EQ(c.expected, QvHashTable::HashKey(c.key, c.length))
            << "HashKey(\"" << (c.key ? c.key : "(null)") << "\", " << c.length << ")";
    struct Pool { int32_t buckets, size; };
    for (const Pool& c : {Pool{50, 4600}, {10, 4000}, {0, 4000}, {1200000, 100000000}}) {
        const QvHashTable table(c.buckets);
        EXPECT_EQ(c.size, table.GetPoolSize()) << "pool size of a table of " << c.buckets << " buckets";
        EXPECT_TRUE(table.IsAllInPool()) << "a new table of " << c.buckets << " buckets";
    }
}

TEST(QvHashTable, MatchesExactlyTheFirstLengthBytesAndCountsDuplicatesAndCollisions) {
    QvHashTable table(50);
    table.Insert("mp3player", 3);
    EXPECT_TRUE(ContainsText(table, "mp3")) << "after Insert(\"mp3player\", 3)";
    EXPECT_TRUE(table.Contains("mp3x", 3)) << "Contains(\"mp3x\", 3) after Insert(\"mp3player\", 3)";
    for (const char* absent : {"mp", "mp3player", "MP3"})
        EXPECT_FALSE(ContainsText(table, absent)) << "\"" << absent << "\" after Insert(\"mp3player\", 3)";
    EXPECT_FALSE(table.Contains("mp3", -1));
    // A null key is the empty key; a negative length adds nothing.
    table.Insert(nullptr, 7);
    table.Insert("", 0);
    table.Insert("x", -1);
    EXPECT_EQ(2, table.GetEntryCount()) << "\"mp3\", then Insert(null, 7), Insert(\"\", 0) and Insert(\"x\", -1)";
    EXPECT_TRUE(table.Contains(nullptr, 0));
    QvHashTable one(1);
    for (const char* key : {"a", "b", "c", "b"}) InsertText(one, key);
    for (const char* key : {"a", "b", "c"}) EXPECT_TRUE(ContainsText(one, key)) << key << " in a table of one bucket";
    EXPECT_EQ(3, one.GetEntryCount()) << "a, b, c and b again in one bucket";
    EXPECT_EQ(2, one.GetCollisionCount()) << "a, b, c and b again in one bucket";
    one.Clear();
    EXPECT_EQ(0, one.GetCollisionCount()) << "after Clear";
}

TEST(QvHashTable, DuplicateKeysTakeNoPoolAndReleaseTheOldValue) {
    released = 0;
    {
        QvHashTable table(50);
        table.SetReleaseValue([](int32_t value) { released += value; });
        InsertText(table, "jpg");
        const int32_t used = table.GetPoolUsed();
        EXPECT_EQ(0, used % 4) << "pool bytes of one key, kept aligned";
        InsertText(table, "jpg");
        EXPECT_EQ(1, table.GetEntryCount()) << "\"jpg\" inserted twice";
        EXPECT_EQ(1, table.GetSecondEntryCount()) << "\"jpg\" inserted twice";
        EXPECT_EQ(used, table.GetPoolUsed()) << "pool bytes after \"jpg\" again";
        EXPECT_EQ(1, released) << "values released when \"jpg\" came again";
        table.Clear();
        EXPECT_EQ(2, released) << "values released by Clear";
        EXPECT_FALSE(ContainsText(table, "jpg")) << "after Clear";
        InsertText(table, "a");
        InsertText(table, "b");
    }
    EXPECT_EQ(4, released) << "the destructor releases the values left";
}

TEST(QvHashTable, KeysGoToTheHeapOnceThePoolRunsOut) {
    QvHashTable table(10);
    int firstHeapKey = -1;
    for (int n = 0; n < 400; n++) {
        const long long before = QvPlatformTest::GetAllocationCount();
        InsertText(table, NumberedKey(n).c_str());
        if (firstHeapKey < 0 && !table.IsAllInPool()) firstHeapKey = n;
        const long long expected = firstHeapKey < 0 ? 0 : 2;  // a heap node and its key
        ASSERT_EQ(expected, QvPlatformTest::GetAllocationCount() - before) << "allocations for key " << n;
    }
    ASSERT_GT(firstHeapKey, 50) << "the first key on the heap";
    EXPECT_LE(table.GetPoolUsed() + 5, table.GetPoolSize()) << "the pool keeps its reserve";
    for (int n = 0; n < 400; n++) ASSERT_TRUE(ContainsText(table, NumberedKey(n).c_str())) << NumberedKey(n);
    table.Clear();  // frees the heap nodes one by one (the leak checker watches); the pool is reused
    EXPECT_EQ(0, table.GetPoolUsed()) << "after Clear";
    EXPECT_FALSE(ContainsText(table, NumberedKey(399).c_str())) << "after Clear";
    EXPECT_FALSE(table.IsAllInPool()) << "after Clear of a table that had heap keys";
    InsertText(table, "doc");
    EXPECT_GT(table.GetPoolUsed(), 0) << "a key inserted after Clear";
    for (int n = 0; n < 400; n++) InsertText(table, NumberedKey(n).c_str());  // the destructor frees the heap keys
}

}  // namespace
