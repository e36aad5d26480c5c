// Writer program for the rewrite tests (POSIX): rewrites a status file in place as fast as it can,
// as the client's other programs update theirs (open with truncation, one write, close), with two
// contents in turn, until a stop file appears or the time limit passes.
//   QvStatusRewriter <file> <first content file> <second content file> <stop file> <report file> <limit in ms>
// Paths may use backslashes. The report appears (whole) holding "running" after the first
// rewrite, and at the end "rewrites <n>\nfailures <n>\nmilliseconds <n>\n".
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "QvToolPosix.h"

static std::string Native(std::string path) {
    for (char& c : path)
        c = c == '\\' ? '/' : c;
    return path;
}

static bool ReadAll(const char* path, std::string* content) {
    FILE* file = fopen(Native(path).c_str(), "rb");
    char buffer[4096];
    for (size_t n; file && (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        content->append(buffer, n);
    return file && fclose(file) == 0;
}

static long long NowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One rewrite in place: the file is empty from the truncation until the write is done.
static bool Rewrite(const char* path, const std::string& content) {
    int fd;
    while ((fd = open(path, O_WRONLY | O_TRUNC)) < 0 && errno == EINTR) {
    }
    ssize_t n = -1;
    while (fd >= 0 && (n = write(fd, content.data(), content.size())) < 0 && errno == EINTR) {
    }
    return fd >= 0 && close(fd) == 0 && n == ssize_t(content.size());
}

int main(int argc, char** argv) {
    // The argument string arrives whole: target, first, second, stop, report, limit.
    const std::vector<std::string> args = argc == 2 ? SplitCommandLine(argv[1]) : std::vector<std::string>();
    std::string contents[2];
    if (args.size() != 6 || !ReadAll(args[1].c_str(), &contents[0]) || !ReadAll(args[2].c_str(), &contents[1]))
        return 2;
    std::string target = Native(args[0].c_str()), stop = Native(args[3].c_str()), report = Native(args[4].c_str());
    long long limit = atoll(args[5].c_str()), start = NowMillis(), rewrites = 0, failures = 0;
    bool told = false;
    // Looking for the stop file costs a system call: only every 16th round.
    for (long long i = 0; i % 16 != 0 || (access(stop.c_str(), F_OK) != 0 && NowMillis() - start < limit); ++i) {
        ++(Rewrite(target.c_str(), contents[i % 2]) ? rewrites : failures);
        told = told || (rewrites > 0 && WriteWhole(report, "running\n"));
    }
    char text[128];
    snprintf(text, sizeof text, "rewrites %lld\nfailures %lld\nmilliseconds %lld\n", rewrites, failures,
             NowMillis() - start);
    return WriteWhole(report, text) ? 0 : 1;
}
