// QvHashTable: the CRC-32 key hash, pool sizing, keys that fall back to the heap once the
// pool runs out, duplicate and empty keys, and the fallbacks when memory is short.
#include "qvbase/QvHashTable.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/QvPlatformMemory.h"

namespace {

// Switches allocation failures off again when a test leaves, whatever happened in it.
struct AllocationFailureReset {
    ~AllocationFailureReset() { QvPlatformTest::ResetAllocationCount(); }
};

void InsertText(QvHashTable& table, const char* key) { table.Insert(key, int32_t(strlen(key))); }
bool ContainsText(const QvHashTable& table, const char* key) {
    return table.Contains(key, int32_t(strlen(key)));
}

std::string NumberedKey(int n) {
    char key[32];
    snprintf(key, sizeof key, "type%04d", n);
    return key;
}

TEST(QvHashTable, HashKeyIsTheComplementOfTheStandardCrc32) {
    struct Case {
        const char* key;
        int32_t length;
        uint32_t expected;
    } cases[] = {
        {"abc", 3, ~0x352441C2u},  // 0xCADBBE3D
        {"a", 1, ~0xE8B7BE43u},
        {"123456789", 9, ~0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 43, ~0x414FA339u},
        {"abcdef", 3, ~0x352441C2u},  // only length bytes count
        {"", 0, 0xFFFFFFFFu},
        {"abc", -1, 0xFFFFFFFFu},
        {nullptr, 5, 0xFFFFFFFFu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, QvHashTable::HashKey(c.key, c.length)) << (c.key ? c.key : "(null)");
    EXPECT_EQ(0xCADBBE3Du, QvHashTable::HashKey("abc", 3));
}

TEST(QvHashTable, PoolIsSizedFromTheBucketCount) {
    const struct {
        int32_t buckets;
        int32_t poolSize;
    } cases[] = {{50, 4600}, {500, 46000}, {10, 4000}, {1, 4000}, {0, 4000}, {1200000, 100000000}};
    for (const auto& c : cases) {
        QvHashTable table(c.buckets);
        EXPECT_EQ(c.poolSize, table.GetPoolSize()) << c.buckets << " buckets";
        EXPECT_EQ(0, table.GetPoolUsed());
        EXPECT_TRUE(table.IsAllInPool());
    }
}

TEST(QvHashTable, DuplicateKeysLeaveOneNodeAndReleaseTheOldValue) {
    static int released;
    released = 0;
    QvHashTable table(50);
    table.SetReleaseValue([](int32_t value) { released += value; });
    InsertText(table, "jpg");
    int32_t used = table.GetPoolUsed();
    EXPECT_EQ(0, used % 4);
    InsertText(table, "jpg");
    EXPECT_EQ(1, table.GetEntryCount());
    EXPECT_EQ(1, table.GetSecondEntryCount());
    EXPECT_EQ(used, table.GetPoolUsed());
    EXPECT_EQ(1, released);
    table.Clear();
    EXPECT_EQ(2, released);
    EXPECT_FALSE(ContainsText(table, "jpg"));
}

TEST(QvHashTable, ContainsMatchesExactlyTheFirstLengthBytes) {
    QvHashTable table(50);
    table.Insert("mp3player", 3);
    EXPECT_TRUE(ContainsText(table, "mp3"));
    EXPECT_TRUE(table.Contains("mp3x", 3));
    EXPECT_FALSE(ContainsText(table, "mp"));
    EXPECT_FALSE(ContainsText(table, "mp3player"));
    EXPECT_FALSE(ContainsText(table, "MP3"));
    EXPECT_FALSE(ContainsText(table, ""));
    EXPECT_FALSE(table.Contains("mp3", -1));
}

TEST(QvHashTable, NullAndEmptyKeysAreTheSameKey) {
    QvHashTable table(50);
    table.Insert(nullptr, 7);
    table.Insert("", 0);
    EXPECT_EQ(1, table.GetEntryCount());
    EXPECT_TRUE(table.Contains(nullptr, 0));
    EXPECT_TRUE(ContainsText(table, ""));
    table.Insert("x", -1);
    EXPECT_EQ(1, table.GetEntryCount());
}

TEST(QvHashTable, KeysSharingABucketCountAsCollisions) {
    QvHashTable table(1);
    for (const char* key : {"a", "b", "c", "b"})
        InsertText(table, key);
    EXPECT_EQ(3, table.GetEntryCount());
    EXPECT_EQ(2, table.GetCollisionCount());
    for (const char* key : {"a", "b", "c"})
        EXPECT_TRUE(ContainsText(table, key)) << key;
    table.Clear();
    EXPECT_EQ(0, table.GetCollisionCount());
    EXPECT_EQ(0, table.GetEntryCount());
}

TEST(QvHashTable, KeysGoToTheHeapOnceThePoolRunsOut) {
    QvHashTable table(10);
    table.SetName("excludefiletypes");
    int firstHeapKey = -1;
    for (int n = 0; n < 400; n++) {
        long long before = QvPlatformTest::GetAllocationCount();
        InsertText(table, NumberedKey(n).c_str());
        long long allocations = QvPlatformTest::GetAllocationCount() - before;
        if (table.IsAllInPool()) {
            ASSERT_EQ(0, allocations) << "key " << n;
        } else {
            if (firstHeapKey < 0)
                firstHeapKey = n;
            ASSERT_EQ(2, allocations) << "key " << n;  // the node and its key
        }
    }
    ASSERT_GT(firstHeapKey, 50);
    ASSERT_LT(firstHeapKey, 400);
    EXPECT_LE(table.GetPoolUsed() + 5, table.GetPoolSize());
    EXPECT_EQ(400, table.GetEntryCount());
    for (int n = 0; n < 400; n++)
        ASSERT_TRUE(ContainsText(table, NumberedKey(n).c_str())) << n;

    // Clear frees the heap nodes (the leak checker watches); the pool is reused.
    table.Clear();
    EXPECT_EQ(0, table.GetPoolUsed());
    EXPECT_FALSE(ContainsText(table, NumberedKey(0).c_str()));
    EXPECT_FALSE(ContainsText(table, NumberedKey(399).c_str()));
    EXPECT_FALSE(table.IsAllInPool());
    InsertText(table, "doc");
    EXPECT_GT(table.GetPoolUsed(), 0);
    EXPECT_TRUE(ContainsText(table, "doc"));
    // Heap keys left in the table are freed by the destructor.
    for (int n = 0; n < 400; n++)
        InsertText(table, NumberedKey(n).c_str());
    EXPECT_STREQ("excludefiletypes", table.GetName());
}

TEST(QvHashTable, BucketArrayFallsBackToOneHundredThousand) {
    AllocationFailureReset reset;
    QvPlatformTest::FailAllocationNumber(1);
    QvHashTable fallback(40000000);
    EXPECT_EQ(100000, fallback.GetBucketCount());
    EXPECT_EQ(9200000, fallback.GetPoolSize());
    InsertText(fallback, "txt");
    EXPECT_TRUE(ContainsText(fallback, "txt"));

    QvPlatformTest::FailAllAllocations(true);
    QvHashTable none(50);
    QvPlatformTest::FailAllAllocations(false);
    EXPECT_FALSE(none.HasBuckets());
    EXPECT_EQ(0, none.GetPoolSize());
    InsertText(none, "txt");
    EXPECT_EQ(0, none.GetEntryCount());
    EXPECT_FALSE(ContainsText(none, "txt"));
    none.Clear();
}

TEST(QvHashTable, WithoutAPoolEveryNodeComesFromTheHeap) {
    AllocationFailureReset reset;
    QvPlatformTest::FailAllocationNumber(2);  // the bucket array succeeds, the pool fails
    QvHashTable table(50);
    EXPECT_TRUE(table.HasBuckets());
    EXPECT_EQ(0, table.GetPoolSize());
    EXPECT_TRUE(table.IsAllInPool());
    InsertText(table, "bak");
    EXPECT_FALSE(table.IsAllInPool());
    EXPECT_TRUE(ContainsText(table, "bak"));
    EXPECT_EQ(0, table.GetPoolUsed());
}

TEST(QvHashTable, KeyIsLeftOutWhenItsHeapNodeCannotBeHad) {
    AllocationFailureReset reset;
    QvPlatformTest::FailAllocationNumber(2);
    QvHashTable table(50);
    for (long long failing : {1, 2}) {  // the node, then the key copy
        QvPlatformTest::FailAllocationNumber(failing);
        InsertText(table, "tmp");
        EXPECT_EQ(0, table.GetEntryCount()) << "allocation " << failing;
        EXPECT_FALSE(ContainsText(table, "tmp"));
        EXPECT_TRUE(table.IsAllInPool());
    }
}

TEST(QvHashTable, SetNameKeepsACopyOrNoName) {
    AllocationFailureReset reset;
    QvHashTable table(50);
    EXPECT_EQ(nullptr, table.GetName());
    char name[] = "excludefiletypes";
    table.SetName(name);
    name[0] = 'X';
    EXPECT_STREQ("excludefiletypes", table.GetName());
    table.SetName(nullptr);
    EXPECT_EQ(nullptr, table.GetName());
    QvPlatformTest::FailAllocationNumber(1);
    table.SetName("other");
    EXPECT_EQ(nullptr, table.GetName());
}

TEST(QvHashTable, DestructorReleasesValuesWhenAReleaseFunctionIsSet) {
    static int released;
    released = 0;
    {
        QvHashTable table(50);
        table.SetReleaseValue([](int32_t value) { released += value; });
        InsertText(table, "a");
        InsertText(table, "b");
    }
    EXPECT_EQ(2, released);
}

}  // namespace
