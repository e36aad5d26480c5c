// POSIX backend of the shell seam.
// - Known folders: $QV_PROGRAM_FILES and $QV_COMMON_APPDATA when set (an empty value makes
//   the query fail), else "/opt" and "/var/lib".
// - Interface language: always 0x0409 (English, United States). The native build has no
//   interface of its own; its tests choose a language through the test stand-in.
// - "Open": the program is started by a double fork. The intermediate child exits at
//   once and is reaped here, so the program becomes a child of init (or of a subreaper)
//   and nothing is left waiting; a close-on-exec pipe tells whether exec succeeded. The
//   argument string reaches the program whole, as its one argument (none when it is
//   empty), as Windows hands a started program its command line and leaves the splitting
//   to it. Backslashes in the program path are separators, as everywhere in the library's
//   paths.
#include "system/QvPlatformShell.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

const char* const kProgramFilesVariable = "QV_PROGRAM_FILES";
const char* const kCommonAppDataVariable = "QV_COMMON_APPDATA";
const char* const kDefaultProgramFiles = "/opt";
const char* const kDefaultCommonAppData = "/var/lib";
const uint16_t kEnglishUnitedStates = 0x0409;

// Only async-signal-safe calls between fork and exec: the parent prepared everything.
[[noreturn]] void ExecDetached(const char* program, char* const* argv, int statusPipe) {
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    execv(program, argv);
    int error = errno;
    ssize_t ignored = write(statusPipe, &error, sizeof(error));
    (void)ignored;
    _exit(127);
}

bool StartDetached(const char* program, char* const* argv) {
    int statusPipe[2];
    if (pipe2(statusPipe, O_CLOEXEC) != 0)
        return false;
    pid_t intermediate = fork();
    if (intermediate < 0) {
        close(statusPipe[0]);
        close(statusPipe[1]);
        return false;
    }
    if (intermediate == 0) {
        close(statusPipe[0]);
        setsid();  // the program leaves our session and process group
        pid_t started = fork();
        if (started == 0)
            ExecDetached(program, argv, statusPipe[1]);
        if (started < 0) {
            int error = errno;
            ssize_t ignored = write(statusPipe[1], &error, sizeof(error));
            (void)ignored;
        }
        _exit(0);
    }
    close(statusPipe[1]);
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
    // End of file without data: exec closed the pipe, the program runs.
    int error = 0;
    ssize_t got;
    do {
        got = read(statusPipe[0], &error, sizeof(error));
    } while (got < 0 && errno == EINTR);
    close(statusPipe[0]);
    return got == 0;
}

}  // namespace

namespace QvPlatform {

bool NativeQueryKnownFolder(QvKnownFolder folder, QvUtf16String* out) {
    if (!out)
        return false;
    out->Set(nullptr, 0);
    bool programFiles = folder == QvKnownFolder::ProgramFiles;
    const char* path = getenv(programFiles ? kProgramFilesVariable : kCommonAppDataVariable);
    if (!path)
        path = programFiles ? kDefaultProgramFiles : kDefaultCommonAppData;
    if (!path[0])
        return false;
    QvString utf8(path);
    return QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, out, nullptr);
}

uint16_t NativeGetUserDefaultUiLanguage() { return kEnglishUnitedStates; }

bool ShellOpenProgram(const QvUtf16String* program, const QvUtf16String* arguments) {
    if (!program || !arguments)
        return false;
    QvString programPath;
    QvString argumentText;
    if (!QvUtf16String::ConvertUtf16QvStringToUtf8(program, &programPath, nullptr) ||
        !QvUtf16String::ConvertUtf16QvStringToUtf8(arguments, &argumentText, nullptr) ||
        programPath.GetLength() == 0)
        return false;
    char* pathText = programPath.GetBuffer();
    for (int32_t i = 0; i < programPath.GetLength(); ++i) {
        if (pathText[i] == '\\')
            pathText[i] = '/';
    }

    char* argv[] = {pathText, argumentText.GetBuffer(), nullptr};
    if (argumentText.GetLength() == 0)
        argv[1] = nullptr;
    return StartDetached(pathText, argv);
}

}  // namespace QvPlatform
