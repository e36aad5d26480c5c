// Writer program for the rewrite tests (POSIX): rewrites a status file in place as fast as
// it can, the way the client's other programs update their status files (open with
// truncation, one write, close), alternating two contents, until a stop file appears or a
// time limit passes.
//   QvStatusRewriter <file> <first content file> <second content file> <stop file>
//                    <report file> <limit in ms>
// Paths may use backslashes as separators (the library's form). The report file appears
// (whole: written under a temporary name, then renamed) holding "running" after the first
// rewrite, and at the end "rewrites <n>\nfailures <n>\nmilliseconds <n>\n".
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "QvToolPosix.h"

static std::string Native(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

static bool ReadAll(const std::string& path, std::string* content) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        content->append(buffer, n);
    return fclose(file) == 0;
}

static long long NowMillis() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// One rewrite in place: the file is empty from the truncation until the write is done.
static bool Rewrite(const char* path, const std::string& content) {
    int fd;
    do {
        fd = open(path, O_WRONLY | O_TRUNC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    ssize_t n;
    do {
        n = write(fd, content.data(), content.size());
    } while (n < 0 && errno == EINTR);
    bool closed = close(fd) == 0;
    return n == ssize_t(content.size()) && closed;
}

int main(int argc, char** argv) {
    if (argc != 7)
        return 2;
    std::string target = Native(argv[1]);
    std::string contents[2];
    if (!ReadAll(Native(argv[2]), &contents[0]) || !ReadAll(Native(argv[3]), &contents[1]))
        return 3;
    std::string stop = Native(argv[4]);
    std::string report = Native(argv[5]);
    long long limit = atoll(argv[6]);

    long long start = NowMillis(), rewrites = 0, failures = 0;
    bool told = false;
    for (long long i = 0;; ++i) {
        // Looking for the stop file costs a system call: only every 16th round.
        if (i % 16 == 0 && (access(stop.c_str(), F_OK) == 0 || NowMillis() - start >= limit))
            break;
        if (Rewrite(target.c_str(), contents[i % 2])) {
            ++rewrites;
        } else {
            ++failures;
        }
        if (!told && rewrites > 0)
            told = WriteWhole(report, "running\n");
    }
    char text[128];
    snprintf(text, sizeof text, "rewrites %lld\nfailures %lld\nmilliseconds %lld\n", rewrites, failures,
             NowMillis() - start);
    return WriteWhole(report, text) ? 0 : 1;
}
