// Stand-in program for the process-launch tests (POSIX): records the arguments it was
// started with. The file named by $QV_ARG_RECORDER_OUT, else "QvArgRecorder.out" next to
// the program, receives argv[1..] joined by single blanks; the same name with ".argv"
// appended receives each argument on a line of its own. Both appear whole (written
// under a temporary name, then renamed), so a test can poll for them.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "QvToolPosix.h"

int main(int argc, char** argv) {
    std::string out;
    const char* named = getenv("QV_ARG_RECORDER_OUT");
    if (named && named[0]) {
        out = named;
    } else {
        char self[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
        if (n <= 0)
            return 2;
        out.assign(self, size_t(n));
        out = out.substr(0, out.rfind('/') + 1) + "QvArgRecorder.out";
    }
    std::string joined;
    std::string lines;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            joined += ' ';
        joined += argv[i];
        lines += argv[i];
        lines += '\n';
    }
    // The ".argv" file goes first: the main file's appearance means both are complete.
    return WriteWhole(out + ".argv", lines) && WriteWhole(out, joined) ? 0 : 1;
}
