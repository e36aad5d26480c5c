#pragma once
// QvHashTable: a named set of text keys (for example the lower-cased file types of an
// exclusion list). Keys hash with CRC-32 into a fixed bucket array; nodes and their key
// bytes are carved from one pool block sized from the bucket count, and come from the
// heap only once the pool is exhausted. Nothing throws; exhaustion leaves a key out.

#include <cstdint>

class QvHashTable {
public:
    // Called with a node's value when that value is replaced or cleared.
    typedef void (*ReleaseValueFunction)(int32_t value);

    // bucketCount is limited to kMaxBucketCount; a count below 1 counts as 1.
    explicit QvHashTable(int32_t bucketCount);
    QvHashTable(const QvHashTable&) = delete;
    QvHashTable& operator=(const QvHashTable&) = delete;
    virtual ~QvHashTable();

    // Replaces the name with a copy of name; null (or no memory) leaves no name.
    void SetName(const char* name);
    // Null selects the function that does nothing.
    void SetReleaseValue(ReleaseValueFunction function);

    // Adds the first length bytes of key with value 1, or marks an existing key again.
    // A null key counts as the empty key; a negative length adds nothing.
    void Insert(const char* key, int32_t length);
    // True when the first length bytes of key are in the table (same rules as Insert).
    bool Contains(const char* key, int32_t length) const;
    // Removes all keys; the bucket array and the pool stay allocated for reuse.
    void Clear();

    // CRC-32 (reflected polynomial 0xEDB88320) without the final inversion, i.e. the
    // complement of the standard CRC-32 of the bytes. A length below 1 gives 0xFFFFFFFF.
    static uint32_t HashKey(const char* key, int32_t length);

    const char* GetName() const { return name; }  // null without a name
    bool HasBuckets() const { return buckets != nullptr; }
    int32_t GetBucketCount() const { return bucketCount; }
    int32_t GetEntryCount() const { return entryCount; }
    int32_t GetSecondEntryCount() const { return secondEntryCount; }
    int32_t GetCollisionCount() const { return collisionCount; }
    int32_t GetPoolSize() const { return poolSize; }
    int32_t GetPoolUsed() const { return poolUsed; }
    // True while every node of the table lives in the pool.
    bool IsAllInPool() const { return allInPool != 0; }

    static const int32_t kMaxBucketCount = 50000000;
    static const int32_t kFallbackBucketCount = 100000;
    static const int32_t kPoolBytesPerBucket = 2 * (30 + 16);
    static const int32_t kPoolSizeLimit = 1950000000;
    static const int32_t kMinPoolSize = 4000;
    static const int32_t kMaxPoolSize = 100000000;
    // Bytes kept free at the end of the pool.
    static const int32_t kPoolReserve = 5;

private:
    struct Node;

    // The node of key in the chain its hash picks, or null.
    Node* FindNode(const char* key, int32_t length, uint32_t hash) const;
    // A node holding key, from the pool or the heap, its value and tag not yet set; null
    // when no memory can be had.
    Node* NewNode(const char* key, int32_t length);
    static void ReleaseNothing(int32_t value);
    static void FreeHeapNode(Node* node);

    int32_t bucketCount;
    int32_t entryCount;
    int32_t secondEntryCount;
    int32_t collisionCount;
    Node** buckets;
    ReleaseValueFunction releaseValue;
    char* name;
    char* pool;
    int32_t poolSize;
    int32_t poolUsed;
    uint8_t allInPool;
};
