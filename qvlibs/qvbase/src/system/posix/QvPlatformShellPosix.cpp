// POSIX backend of the shell seam.
// - Known folders: $QV_PROGRAM_FILES and $QV_COMMON_APPDATA when set (an empty value makes
//   the query fail), else "/opt" and "/var/lib".
// - Interface language: the first non-empty of LC_ALL, LC_MESSAGES and LANG, read as
//   language[_REGION][.codeset][@modifier] and mapped to its Windows language id; a bare
//   language takes its usual region; anything unknown (also "C" and "POSIX") is 0x0409.
// - "Open": the program is started by a double fork. The intermediate child exits at
//   once and is reaped here, so the program becomes a child of init (or of a subreaper)
//   and nothing is left waiting; a close-on-exec pipe tells whether exec succeeded. The
//   argument string is split into words by the shell's rules (blanks, tabs and line
//   feeds separate; single quotes keep everything; double quotes keep everything but
//   \" \\ \$ \`; a backslash outside quotes keeps the next character); no expansion of
//   any kind takes place. An unclosed quote refuses the start. Backslashes in the program
//   path are separators, as everywhere in the library's paths.
#include "system/QvPlatformShell.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

const char* const kProgramFilesVariable = "QV_PROGRAM_FILES";
const char* const kCommonAppDataVariable = "QV_COMMON_APPDATA";
const char* const kDefaultProgramFiles = "/opt";
const char* const kDefaultCommonAppData = "/var/lib";
const uint16_t kEnglishUnitedStates = 0x0409;

struct QvLanguageIdEntry {
    const char* locale;  // "ll_RR", or "ll" for a language given without its region
    uint16_t languageId;
};

// The client's eleven interface languages and their near neighbours (other regions of
// the same language must not be mistaken for them), plus common others.
const QvLanguageIdEntry kLanguageIds[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en", 0x0409},
    {"ja_JP", 0x0411}, {"ja", 0x0411},
    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404},
    {"zh", 0x0804},
    {"ko_KR", 0x0412}, {"ko", 0x0412},
    {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr_LU", 0x140C},
    {"fr", 0x040C},
    {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de", 0x0407},
    {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_AR", 0x2C0A}, {"es", 0x0C0A},
    {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"it", 0x0410},
    {"ru_RU", 0x0419}, {"ru", 0x0419},
    {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"pt", 0x0816},
    {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"nl", 0x0413},
    {"sv_SE", 0x041D}, {"pl_PL", 0x0415}, {"cs_CZ", 0x0405}, {"tr_TR", 0x041F}, {"uk_UA", 0x0422},
};

// Shell-word splitting. Words go into one buffer, each followed by a 0 byte.
bool SplitShellWords(const char* text, char* words, size_t* wordCount) {
    size_t count = 0;
    char* out = words;
    bool inWord = false;
    for (const char* p = text; *p;) {
        char c = *p;
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                *out++ = 0;
                ++count;
                inWord = false;
            }
            ++p;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const char* close = strchr(p + 1, '\'');
            if (!close)
                return false;
            memcpy(out, p + 1, size_t(close - p - 1));
            out += close - p - 1;
            p = close + 1;
        } else if (c == '"') {
            ++p;
            while (*p && *p != '"') {
                if (*p == '\\' && (p[1] == '"' || p[1] == '\\' || p[1] == '$' || p[1] == '`'))
                    ++p;
                *out++ = *p++;
            }
            if (*p != '"')
                return false;
            ++p;
        } else if (c == '\\' && p[1]) {
            *out++ = p[1];
            p += 2;
        } else {
            *out++ = c;
            ++p;
        }
    }
    if (inWord) {
        *out = 0;
        ++count;
    }
    *wordCount = count;
    return true;
}

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

uint16_t NativeGetUserDefaultUiLanguage() {
    static const char* const kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    const char* locale = nullptr;
    for (const char* variable : kLocaleVariables) {
        locale = getenv(variable);
        if (locale && locale[0])
            break;
        locale = nullptr;
    }
    if (!locale)
        return kEnglishUnitedStates;
    size_t nameLength = strcspn(locale, ".@");
    for (const QvLanguageIdEntry& entry : kLanguageIds) {
        if (strlen(entry.locale) == nameLength && strncmp(entry.locale, locale, nameLength) == 0)
            return entry.languageId;
    }
    return kEnglishUnitedStates;
}

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

    // Words never outgrow the text they come from; each needs at most one terminator.
    size_t textLength = size_t(argumentText.GetLength());
    char* words = static_cast<char*>(QvPlatform::Malloc(textLength + 1));
    size_t wordCount = 0;
    if (!words || !SplitShellWords(argumentText.GetText(), words, &wordCount)) {
        QvPlatform::Free(words);
        return false;
    }
    char** argv = static_cast<char**>(QvPlatform::Malloc((wordCount + 2) * sizeof(char*)));
    if (!argv) {
        QvPlatform::Free(words);
        return false;
    }
    argv[0] = pathText;
    char* word = words;
    for (size_t i = 0; i < wordCount; ++i) {
        argv[i + 1] = word;
        word += strlen(word) + 1;
    }
    argv[wordCount + 1] = nullptr;

    bool started = StartDetached(pathText, argv);
    QvPlatform::Free(argv);
    QvPlatform::Free(words);
    return started;
}

const QvShellMethods kNativeShellMethods = {NativeQueryKnownFolder, NativeGetUserDefaultUiLanguage};
QvShellMethods shellMethods = {NativeQueryKnownFolder, NativeGetUserDefaultUiLanguage};

}  // namespace QvPlatform
