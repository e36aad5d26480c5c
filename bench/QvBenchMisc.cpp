// Allocation through the memory seam against the C allocator called directly, containers
// and output: QvHashTable against std::unordered_set, QvString growth by appending against
// a C buffer, and WriteLogLine (open, append, close per line) against the same in plain C.
// Each pair runs in one benchmark, in alternating turns (QvBenchPaired.h).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include "QvBenchData.h"
#include "QvBenchPaired.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvLog.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"

namespace {

const int kKeyCount = 10000;

const std::vector<std::string>& Keys() {
    static std::vector<std::string> keys = [] {
        std::vector<std::string> made;
        char key[32];
        for (int i = 0; i < kKeyCount; ++i) {
            snprintf(key, sizeof key, "ext%05d", i * 7919 % 100000);
            made.push_back(key);
        }
        return made;
    }();
    return keys;
}

// The fair peer: the same fixed number of buckets, and every key in a heap block of its own
// besides its node, as QvHashTable stores the keys its pool has no room for (two heap
// blocks per key; the pool spares that for its first keys, about 1270 of the 10000 with
// 500 buckets, and for all of them with 10000).
class HeapKey {
public:
    explicit HeapKey(const std::string& key) : length(key.size()), text(static_cast<char*>(malloc(key.size() + 1))) {
        memcpy(text, key.c_str(), length + 1);
    }
    HeapKey(HeapKey&& other) noexcept : length(other.length), text(other.text) { other.text = nullptr; }
    HeapKey(const HeapKey&) = delete;
    HeapKey& operator=(const HeapKey&) = delete;
    ~HeapKey() { free(text); }
    bool operator==(const HeapKey& other) const {
        return length == other.length && memcmp(text, other.text, length) == 0;
    }
    size_t Hash() const { return std::hash<std::string_view>()(std::string_view(text, length)); }

private:
    size_t length;
    char* text;
};

struct HeapKeyHash {
    size_t operator()(const HeapKey& key) const { return key.Hash(); }
};

// Ours: a table of `buckets` buckets filled with the 10000 keys, then destroyed. The peer:
// the same with unordered_set, the same fixed bucket count and each key on the heap.
void Hash(benchmark::State& state) {
    const std::vector<std::string>& keys = Keys();
    const int32_t buckets = int32_t(state.range(0));
    QvBenchPaired::Run(
        state, 1,
        [&] {
            QvHashTable table(buckets);
            for (const std::string& key : keys)
                table.Insert(key.data(), int32_t(key.size()));
            benchmark::DoNotOptimize(table.GetEntryCount());
        },
        [&] {
            std::unordered_set<HeapKey, HeapKeyHash> table;
            table.max_load_factor(1e9f);
            table.rehash(size_t(buckets));
            for (const std::string& key : keys)
                table.emplace(key);
            benchmark::DoNotOptimize(table.size());
        });
}

const int kAppendTarget = 1 << 20;
const char kPiece[] = "C:\\Users\\demo\\a\\";  // 16 bytes

// The fair peer: the same work in plain C. A buffer grown by realloc on QvString's stepped
// capacity schedule, and an append function that measures the piece, grows the buffer
// when needed, copies and terminates; like any library's append it is a call of its own,
// not folded into the caller's loop.
size_t SteppedCapacity(size_t capacity, size_t needed) {
    if (needed + 1 <= 15)
        return 15;
    if (capacity < 1000)
        return 35 + 20 * ((needed - 14) / 20);
    if (capacity < 10000)
        return needed + 1001;
    if (capacity < 400000)
        return needed + 100001;
    return needed + 10000001;
}

struct CBuffer {
    char* text;
    size_t length;
    size_t capacity;
};

[[gnu::noipa]] void CAppend(CBuffer* buffer, const char* piece) {
    const size_t add = strlen(piece);
    if (buffer->length + add + 1 > buffer->capacity) {
        const size_t capacity = SteppedCapacity(buffer->capacity, buffer->length + add);
        char* grown = static_cast<char*>(realloc(buffer->text, capacity));
        if (!grown)
            return;
        buffer->text = grown;
        buffer->capacity = capacity;
    }
    memcpy(buffer->text + buffer->length, piece, add);
    buffer->length += add;
    buffer->text[buffer->length] = 0;
}

// A 1 MB text built from 16-byte pieces whose length is known only at run time, as a
// text read from a file would be: QvString::Append against CAppend.
void Append(benchmark::State& state) {
    const char* piece = kPiece;
    benchmark::DoNotOptimize(piece);
    QvBenchPaired::Run(
        state, 1,
        [&] {
            QvString text;
            while (text.GetLength() < kAppendTarget)
                text.Append(piece);
            benchmark::DoNotOptimize(text.GetText());
        },
        [&] {
            CBuffer text = {static_cast<char*>(malloc(15)), 0, 15};
            text.text[0] = 0;
            while (text.length < size_t(kAppendTarget))
                CAppend(&text, piece);
            benchmark::DoNotOptimize(text.text);
            free(text.text);
        });
}

const char kMessage[] = "QvInfoManagerWatch.cpp:212 [ParseQvInfoForFilesToWatch]:\tno file set named 'x'";

// The fair peer: what the log writer does per line, in plain C: the stamp, the day's file
// name, the checks that the log folder is no link and the file neither a folder nor a
// link, then open, append, close.
void COpenAppendClose(const std::string& folder, int pid) {
    char stamp[32], path[512], line[512];
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm fields;
    gmtime_r(&now.tv_sec, &fields);
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &fields);
    snprintf(path, sizeof path, "%s/log-c%02d.log", folder.c_str(), fields.tm_mday);
    const int length = snprintf(line, sizeof line, "%s %10d - %s\n", stamp, pid, kMessage);
    struct stat status;
    if (lstat(folder.c_str(), &status) != 0 || S_ISLNK(status.st_mode))
        return;
    if (lstat(path, &status) == 0 && (S_ISDIR(status.st_mode) || S_ISLNK(status.st_mode)))
        return;
    const int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0)
        return;
    benchmark::DoNotOptimize(write(file, line, size_t(length)));
    close(file);
}

// One log line: WriteLogLine against COpenAppendClose, each in a folder of its own.
void Log(benchmark::State& state) {
    const std::string folder = QvBenchData::ScratchDir() + "/log-qvbase", cFolder = QvBenchData::ScratchDir() + "/log-c";
    mkdir(cFolder.c_str(), 0755);
    const int pid = int(getpid());
    QvBenchData::ClientInstallation();
    SetLogDirectory(folder.c_str());
    QvString message(kMessage);
    QvBenchPaired::Run(state, 8, [&] { WriteLogLine(&message); }, [&] { COpenAppendClose(cFolder, pid); });
    SetLogDirectory(nullptr);
}

// 64 blocks of snippet-like sizes made and released per iteration, in the order a
// vector of strings is filled and cleared.
const size_t kBlockCount = 64;
size_t BlockSize(size_t i) { return 16 + (i * 37) % 112; }

// 64 blocks made and released through the seam, against malloc and free called directly.
void Alloc(benchmark::State& state) {
    void* blocks[kBlockCount];
    QvBenchPaired::Run(
        state, 64,
        [&] {
            for (size_t i = 0; i < kBlockCount; ++i)
                blocks[i] = QvPlatform::Malloc(BlockSize(i));
            benchmark::DoNotOptimize(blocks);
            for (size_t i = 0; i < kBlockCount; ++i)
                QvPlatform::Free(blocks[i]);
        },
        [&] {
            for (size_t i = 0; i < kBlockCount; ++i)
                blocks[i] = malloc(BlockSize(i));
            benchmark::DoNotOptimize(blocks);
            for (size_t i = 0; i < kBlockCount; ++i)
                free(blocks[i]);
        });
}

}  // namespace

BENCHMARK(Alloc)->Name("pair/alloc/64blocks");
BENCHMARK(Hash)->Name("pair/hash/10000keys")->Arg(10000)->Arg(500);
BENCHMARK(Append)->Name("pair/append/1MB");
BENCHMARK(Log)->Name("pair/log/line");
