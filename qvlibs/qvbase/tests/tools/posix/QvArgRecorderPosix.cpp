// Stand-in program for the process-launch tests (POSIX): writes its arguments next to itself,
// joined by single blanks into "QvArgRecorder.out" and one a line into "QvArgRecorder.out.argv".
// Each appears whole, the main one last, so that a test can poll for it.
#include <filesystem>
#include <string>

#include "QvToolPosix.h"

int main(int argc, char** argv) {
    std::error_code error;
    std::string out = std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string(), joined, lines;
    if (error)
        return 2;
    for (int i = 1; i < argc; ++i) {
        joined += (i > 1 ? " " : "") + std::string(argv[i]);
        lines += argv[i] + std::string("\n");
    }
    return WriteWhole(out + "/QvArgRecorder.out.argv", lines) && WriteWhole(out + "/QvArgRecorder.out", joined) ? 0 : 1;
}
