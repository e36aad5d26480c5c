// Allocation through the memory seam against the C allocator called directly, containers
// and output: QvHashTable against std::unordered_set, QvString growth by appending
// against std::string, and WriteLogLine (open, append, close per line) against fprintf to
// a file kept open.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include "QvBenchData.h"
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

// A table of `buckets` buckets filled with 10000 keys, built and destroyed each round.
void HashQvbase(benchmark::State& state) {
    const std::vector<std::string>& keys = Keys();
    const int32_t buckets = int32_t(state.range(0));
    for (auto _ : state) {
        QvHashTable table(buckets);
        for (const std::string& key : keys)
            table.Insert(key.data(), int32_t(key.size()));
        benchmark::DoNotOptimize(table.GetEntryCount());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kKeyCount);
}

void HashStd(benchmark::State& state) {
    const std::vector<std::string>& keys = Keys();
    for (auto _ : state) {
        std::unordered_set<std::string> table;
        for (const std::string& key : keys)
            table.insert(key);
        benchmark::DoNotOptimize(table.size());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kKeyCount);
}

// The fair peer: the same fixed number of buckets, never rehashed, as QvHashTable's
// bucket count is fixed when it is made.
void HashStdFixedBuckets(benchmark::State& state) {
    const std::vector<std::string>& keys = Keys();
    const size_t buckets = size_t(state.range(0));
    for (auto _ : state) {
        std::unordered_set<std::string> table;
        table.max_load_factor(1e9f);
        table.rehash(buckets);
        for (const std::string& key : keys)
            table.insert(key);
        benchmark::DoNotOptimize(table.size());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kKeyCount);
}

const int kAppendTarget = 1 << 20;
const char kPiece[] = "C:\\Users\\demo\\a\\";  // 16 bytes

void AppendQvbase(benchmark::State& state) {
    // Measured at run time on both sides, as a text read from a file would be.
    const char* piece = kPiece;
    benchmark::DoNotOptimize(piece);
    for (auto _ : state) {
        QvString text;
        while (text.GetLength() < kAppendTarget)
            text.Append(piece);
        benchmark::DoNotOptimize(text.GetText());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kAppendTarget);
}

void AppendStd(benchmark::State& state) {
    for (auto _ : state) {
        std::string text;
        while (text.size() < size_t(kAppendTarget))
            text.append(kPiece);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kAppendTarget);
}

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

void AppendSteppedC(benchmark::State& state) {
    const char* piece = kPiece;
    benchmark::DoNotOptimize(piece);
    for (auto _ : state) {
        CBuffer text = {static_cast<char*>(malloc(15)), 0, 15};
        text.text[0] = 0;
        while (text.length < size_t(kAppendTarget))
            CAppend(&text, piece);
        benchmark::DoNotOptimize(text.text);
        free(text.text);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kAppendTarget);
}

const char kMessage[] = "QvInfoManagerWatch.cpp:212 [ParseQvInfoForFilesToWatch]:\tno file set named 'x'";

void LogQvbase(benchmark::State& state) {
    const std::string folder = QvBenchData::ScratchDir() + "/log-qvbase";
    SetLogDirectory(folder.c_str());
    QvString message(kMessage);
    for (auto _ : state)
        WriteLogLine(&message);
    SetLogDirectory(nullptr);
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void LogFprintf(benchmark::State& state) {
    const std::string path = QvBenchData::ScratchDir() + "/log-fprintf.log";
    FILE* file = fopen(path.c_str(), "ab");
    const int pid = int(getpid());
    for (auto _ : state) {
        char stamp[32];
        time_t now = time(nullptr);
        struct tm fields;
        gmtime_r(&now, &fields);
        strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &fields);
        fprintf(file, "%s %10d - %s\n", stamp, pid, kMessage);
    }
    fclose(file);
    state.SetItemsProcessed(int64_t(state.iterations()));
}

// The fair peer: what the log writer does per line, in plain C: the stamp, the day's file
// name, the checks that the log folder is no link and the file neither a folder nor a
// link, then open, append, close.
void LogOpenAppendClose(benchmark::State& state) {
    const std::string folder = QvBenchData::ScratchDir() + "/log-c";
    mkdir(folder.c_str(), 0755);
    const int pid = int(getpid());
    for (auto _ : state) {
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
            continue;
        if (lstat(path, &status) == 0 && (S_ISDIR(status.st_mode) || S_ISLNK(status.st_mode)))
            continue;
        const int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (file < 0)
            continue;
        benchmark::DoNotOptimize(write(file, line, size_t(length)));
        close(file);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

// 64 blocks of snippet-like sizes made and released per iteration, in the order a
// vector of strings is filled and cleared.
const size_t kBlockCount = 64;
size_t BlockSize(size_t i) { return 16 + (i * 37) % 112; }

void AllocQvbase(benchmark::State& state) {
    void* blocks[kBlockCount];
    for (auto _ : state) {
        for (size_t i = 0; i < kBlockCount; ++i)
            blocks[i] = QvPlatform::Malloc(BlockSize(i));
        benchmark::DoNotOptimize(blocks);
        for (size_t i = 0; i < kBlockCount; ++i)
            QvPlatform::Free(blocks[i]);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * kBlockCount));
}

void AllocC(benchmark::State& state) {
    void* blocks[kBlockCount];
    for (auto _ : state) {
        for (size_t i = 0; i < kBlockCount; ++i)
            blocks[i] = malloc(BlockSize(i));
        benchmark::DoNotOptimize(blocks);
        for (size_t i = 0; i < kBlockCount; ++i)
            free(blocks[i]);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * kBlockCount));
}

}  // namespace

BENCHMARK(AllocQvbase)->Name("alloc/64blocks/qvbase");
BENCHMARK(AllocC)->Name("alloc/64blocks/malloc");
BENCHMARK(HashQvbase)->Name("hash/10000keys/qvbase")->Arg(10000);
BENCHMARK(HashQvbase)->Name("hash/10000keys/qvbase-500buckets")->Arg(500);
BENCHMARK(HashStd)->Name("hash/10000keys/std");
BENCHMARK(HashStdFixedBuckets)->Name("hash/10000keys/std-fixed")->Arg(10000)->Arg(500);
BENCHMARK(AppendQvbase)->Name("append/1MB/qvbase");
BENCHMARK(AppendStd)->Name("append/1MB/std");
BENCHMARK(AppendSteppedC)->Name("append/1MB/stepped-c");
BENCHMARK(LogQvbase)->Name("log/line/qvbase");
BENCHMARK(LogFprintf)->Name("log/line/fprintf");
BENCHMARK(LogOpenAppendClose)->Name("log/line/open-append-close");
