// Writer program for the rewrite tests (Windows): rewrites a status file in place as fast as it
// can, as the client's other programs update theirs (TRUNCATE_EXISTING, sharing read and write,
// one WriteFile, close), with two contents in turn, until a stop file appears or the time limit
// passes. A rewrite that finds the file held by a reader without write sharing fails and is
// counted; the next follows at once.
//   QvStatusRewriter <file> <first content file> <second content file> <stop file> <report file> <limit in ms>
// The report appears (whole) holding "running" after the first rewrite, and at the end
// "rewrites <n>\nfailures <n>\nmilliseconds <n>\n".
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "QvToolWin32.h"

static bool ReadAll(const wchar_t* path, std::string* content) {
    FILE* file = _wfopen(path, L"rb");
    char buffer[4096];
    for (size_t n; file && (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        content->append(buffer, n);
    return file && fclose(file) == 0;
}

// One rewrite in place: the file is empty from the truncation until the write is done.
static bool Rewrite(const wchar_t* path, const std::string& content) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) && written == content.size();
    return file != INVALID_HANDLE_VALUE && CloseHandle(file) && ok;
}

int wmain(int argc, wchar_t** argv) {
    std::string contents[2];
    if (argc != 7 || !ReadAll(argv[2], &contents[0]) || !ReadAll(argv[3], &contents[1]))
        return 2;
    const wchar_t *target = argv[1], *stop = argv[4];
    unsigned long long limit = wcstoull(argv[6], nullptr, 10), start = GetTickCount64();
    long long rewrites = 0, failures = 0;
    bool told = false;
    // Looking for the stop file costs a system call: only every 16th round.
    for (long long i = 0;
         i % 16 != 0 || (GetFileAttributesW(stop) == INVALID_FILE_ATTRIBUTES && GetTickCount64() - start < limit);
         ++i) {
        ++(Rewrite(target, contents[i % 2]) ? rewrites : failures);
        told = told || (rewrites > 0 && WriteWhole(argv[5], "running\n"));
    }
    char text[128];
    snprintf(text, sizeof text, "rewrites %lld\nfailures %lld\nmilliseconds %llu\n", rewrites, failures,
             GetTickCount64() - start);
    // While the test holds the report open the rename is refused: tried again until it lands.
    for (int attempt = 0; attempt < 60000; ++attempt, Sleep(1))
        if (WriteWhole(argv[5], text))
            return 0;
    return 1;
}
