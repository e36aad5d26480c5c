// QvHashTable: a set of text keys hashed with CRC-32. Nodes and their key bytes are
// carved from one pool block; once the pool is exhausted they come from the heap, and
// only those heap nodes are freed one by one.
#include "qvbase/QvHashTable.h"

#include <cstring>

#include "platform/QvPlatformMemory.h"

// Packed to 4 bytes: pool entries are rounded to multiples of 4, so a node carved from
// the pool is only 4-byte aligned on 64-bit targets.
#pragma pack(push, 4)
struct QvHashTable::Node {
    char* key;             // NUL-terminated copy of the key
    Node* next;            // next node of the bucket's chain
    int32_t value;         // always 1 here: the key's presence is what matters
    uint16_t storageKind;  // kStoredInPool or kStoredOnHeap
    uint16_t hashTag;      // the top 16 bits of the key's hash: a chain walk reads the
                           // key's bytes only where the tags agree
};
#pragma pack(pop)

namespace {
const uint16_t kStoredOnHeap = 0;
const uint16_t kStoredInPool = 1;
const uint32_t kCrc32Polynomial = 0xEDB88320u;

uint16_t HashTag(uint32_t hash) { return static_cast<uint16_t>(hash >> 16); }

// Built on first use, shared by every table of the process. entries[0] is the classic
// byte table; entries[k][b] is the CRC of byte b followed by k zero bytes, so that four
// bytes are folded in with four independent lookups (slicing by four).
struct Crc32Tables {
    uint32_t entries[4][256];
    Crc32Tables() {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t crc = i;
            for (int bit = 0; bit < 8; bit++)
                crc = (crc & 1) ? (crc >> 1) ^ kCrc32Polynomial : crc >> 1;
            entries[0][i] = crc;
        }
        for (int k = 1; k < 4; k++) {
            for (uint32_t i = 0; i < 256; i++)
                entries[k][i] = (entries[k - 1][i] >> 8) ^ entries[0][entries[k - 1][i] & 0xFF];
        }
    }
};

const Crc32Tables& Crc32() {
    static const Crc32Tables tables;
    return tables;
}

// Key text of length bytes, never reading past a NUL of the source.
size_t KeyTextLength(const char* key, int32_t length) {
    size_t n = 0;
    while (n < static_cast<size_t>(length) && key[n] != '\0')
        n++;
    return n;
}

// Bytes a stored key occupies: the text, its terminator and zeros up to a multiple of 4,
// so that keys can be compared four bytes at a time without reading past their storage.
size_t KeyStorageSize(size_t textLength) { return (textLength + 1 + 3) & ~size_t(3); }

uint32_t LoadWord(const char* at) {
    uint32_t word;
    memcpy(&word, at, sizeof word);
    return word;
}

// A node's key matches when its text is exactly the first length bytes of key. A key
// with a NUL among those bytes therefore matches no node. Whole words first: a stored
// key's storage reaches past the word that holds its terminator, and a word is read only
// while the words before it held no terminator.
bool KeyMatches(const char* nodeKey, const char* key, int32_t length) {
    int32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        const uint32_t word = LoadWord(nodeKey + i);
        if (word != LoadWord(key + i) || ((word - 0x01010101u) & ~word & 0x80808080u) != 0)
            return false;  // different, or the node's text ends inside the key's
    }
    for (; i < length; i++) {
        if (nodeKey[i] != key[i] || nodeKey[i] == '\0')
            return false;
    }
    return nodeKey[length] == '\0';
}
}  // namespace

uint32_t QvHashTable::HashKey(const char* key, int32_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    if (key == nullptr || length < 1)
        return crc;
    const uint32_t(*table)[256] = Crc32().entries;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(key);
    int32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        // The four bytes in the order they are fed in, the first one lowest.
        uint32_t word;
        memcpy(&word, bytes + i, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        word = __builtin_bswap32(word);
#endif
        crc ^= word;
        crc = table[3][crc & 0xFF] ^ table[2][(crc >> 8) & 0xFF] ^ table[1][(crc >> 16) & 0xFF] ^
              table[0][crc >> 24];
    }
    for (; i < length; i++)
        crc = table[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

void QvHashTable::ReleaseNothing(int32_t) {}

QvHashTable::QvHashTable(int32_t requestedBuckets)
    : bucketCount(0),
      entryCount(0),
      secondEntryCount(0),
      collisionCount(0),
      buckets(nullptr),
      releaseValue(ReleaseNothing),
      name(nullptr),
      pool(nullptr),
      poolSize(0),
      poolUsed(0),
      allInPool(1) {
    int32_t n = requestedBuckets;
    if (n > kMaxBucketCount)
        n = kMaxBucketCount;
    if (n < 1)
        n = 1;
    buckets = static_cast<Node**>(QvPlatform::Malloc(sizeof(Node*) * static_cast<size_t>(n)));
    if (buckets == nullptr) {
        n = kFallbackBucketCount;
        buckets = static_cast<Node**>(QvPlatform::Malloc(sizeof(Node*) * static_cast<size_t>(n)));
    }
    // Without buckets every operation returns at once, so no pool is taken either.
    if (buckets == nullptr)
        return;
    bucketCount = n;
    memset(buckets, 0, sizeof(Node*) * static_cast<size_t>(n));

    int64_t size = static_cast<int64_t>(kPoolBytesPerBucket) * n;
    if (size > kPoolSizeLimit)
        size = kPoolSizeLimit;
    if (size < kMinPoolSize)
        size = kMinPoolSize;
    if (size > kMaxPoolSize)
        size = kMaxPoolSize;
    pool = static_cast<char*>(QvPlatform::Malloc(static_cast<size_t>(size)));
    if (pool != nullptr)
        poolSize = static_cast<int32_t>(size);
}

QvHashTable::~QvHashTable() {
    if (buckets != nullptr) {
        if (releaseValue != ReleaseNothing || !allInPool)
            Clear();
        QvPlatform::Free(pool);
        pool = nullptr;
        poolSize = 0;
        poolUsed = 0;
        allInPool = 1;
        QvPlatform::Free(buckets);
        buckets = nullptr;
        bucketCount = 0;
        entryCount = 0;
        secondEntryCount = 0;
        collisionCount = 0;
        releaseValue = nullptr;
    }
    QvPlatform::Free(name);
    name = nullptr;
}

void QvHashTable::SetName(const char* newName) {
    QvPlatform::Free(name);
    name = nullptr;
    if (newName == nullptr)
        return;
    size_t size = strlen(newName) + 1;
    name = static_cast<char*>(QvPlatform::Malloc(size));
    if (name != nullptr)
        memcpy(name, newName, size);
}

void QvHashTable::SetReleaseValue(ReleaseValueFunction function) {
    releaseValue = function != nullptr ? function : ReleaseNothing;
}

QvHashTable::Node* QvHashTable::FindNode(const char* key, int32_t length, uint32_t hash) const {
    const uint16_t tag = HashTag(hash);
    for (Node* node = buckets[hash % static_cast<uint32_t>(bucketCount)]; node != nullptr; node = node->next) {
        if (node->hashTag == tag && KeyMatches(node->key, key, length))
            return node;
    }
    return nullptr;
}

QvHashTable::Node* QvHashTable::NewNode(const char* key, int32_t length) {
    size_t textLength = KeyTextLength(key, length);
    int64_t entrySize = (static_cast<int64_t>(sizeof(Node)) + length + 1 + 3) & ~static_cast<int64_t>(3);
    if (static_cast<int64_t>(poolUsed) + entrySize + kPoolReserve <= poolSize) {
        Node* node = reinterpret_cast<Node*>(pool + poolUsed);
        node->key = pool + poolUsed + sizeof(Node);
        // The key's bytes up to a NUL; the rest of the entry, terminator included, is 0.
        memcpy(node->key, key, textLength);
        memset(node->key + textLength, 0, static_cast<size_t>(entrySize) - sizeof(Node) - textLength);
        node->storageKind = kStoredInPool;
        poolUsed += static_cast<int32_t>(entrySize);
        return node;
    }
    Node* node = static_cast<Node*>(QvPlatform::Malloc(sizeof(Node)));
    char* copy = static_cast<char*>(QvPlatform::Malloc(KeyStorageSize(textLength)));
    if (node == nullptr || copy == nullptr) {
        QvPlatform::Free(node);
        QvPlatform::Free(copy);
        return nullptr;
    }
    memcpy(copy, key, textLength);
    memset(copy + textLength, 0, KeyStorageSize(textLength) - textLength);
    node->key = copy;
    node->storageKind = kStoredOnHeap;
    allInPool = 0;
    return node;
}

void QvHashTable::Insert(const char* key, int32_t length) {
    if (buckets == nullptr || length < 0)
        return;
    if (key == nullptr) {
        key = "";
        length = 0;
    }
    const uint32_t hash = HashKey(key, length);
    Node* existing = FindNode(key, length, hash);
    if (existing != nullptr) {
        if (existing->value != 0)
            releaseValue(existing->value);
        existing->value = 1;
        return;
    }
    const uint32_t bucket = hash % static_cast<uint32_t>(bucketCount);
    Node* node = NewNode(key, length);
    if (node == nullptr)
        return;
    node->value = 1;
    node->hashTag = HashTag(hash);
    node->next = buckets[bucket];
    if (buckets[bucket] != nullptr)
        collisionCount++;
    buckets[bucket] = node;
    entryCount++;
    secondEntryCount++;
}

bool QvHashTable::Contains(const char* key, int32_t length) const {
    if (buckets == nullptr || length < 0)
        return false;
    if (key == nullptr) {
        key = "";
        length = 0;
    }
    return FindNode(key, length, HashKey(key, length)) != nullptr;
}

void QvHashTable::FreeHeapNode(Node* node) {
    QvPlatform::Free(node->key);
    QvPlatform::Free(node);
}

void QvHashTable::Clear() {
    if (buckets == nullptr)
        return;
    bool releasing = releaseValue != ReleaseNothing;
    // A table whose nodes all live in the pool needs no walk unless values are released.
    if (releasing || !allInPool) {
        for (int32_t b = 0; b < bucketCount; b++) {
            Node* node = buckets[b];
            while (node != nullptr) {
                Node* next = node->next;
                if (releasing)
                    releaseValue(node->value);
                if (!allInPool && node->storageKind == kStoredOnHeap)
                    FreeHeapNode(node);
                node = next;
            }
        }
    }
    memset(buckets, 0, sizeof(Node*) * static_cast<size_t>(bucketCount));
    poolUsed = 0;
    entryCount = 0;
    secondEntryCount = 0;
    collisionCount = 0;
}
