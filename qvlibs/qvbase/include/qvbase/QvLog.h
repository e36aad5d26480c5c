#pragma once
// The log writer: one plain-text file per day of the month in a log directory named at
// start-up ("<dir>\<name>DD.log"). Every line carries the UTC time and the process id.
// Writing never reports a failure; without a log directory every call does nothing.

#include <cstdint>

#include "qvbase/QvString.h"

// Levels of LogMessage and the tag each one writes after the function name.
#define QV_LOG_LEVEL_ERROR (-3)    // "ERROR"
#define QV_LOG_LEVEL_WARNING (-2)  // "WARNING"
#define QV_LOG_LEVEL_NOTE (-1)     // "NOTE"
#define QV_LOG_LEVEL_PLAIN 0       // no tag

// Replaces the log directory; null switches logging off. A directory inside the data
// directory is refused (logging stays off) while the data directory does not exist;
// otherwise the directory tree is created. Called once at start-up, before any thread logs.
void SetLogDirectory(const char* directory);

// Appends "<time> <pid> - <message>\n" to the day's file (no second line feed when the
// message ends with one), then deletes the files of the coming days at most every ten
// minutes. A null message writes nothing.
void WriteLogLine(const QvString* message);
// As WriteLogLine; a null text writes a line with an empty message.
void WriteLogText(const char* message);

// Writes "<file>:<line> [<short function>] <TAG>:\t<text>" (no " <TAG>" for levels other than
// -3, -2, -1). sourceFile is the base name of the caller's source file, functionSignature the
// compiler's full signature of the calling function. Use QV_LOG_MESSAGE to fill them in.
void LogMessage(int32_t level, const char* sourceFile, int32_t line, const char* functionSignature,
                const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

// The file name for day of the month `day` ("<dir><dir name>DD.log"). Leaves output untouched
// when no log directory is set or output is null.
void GetLogFilePath(int32_t day, QvString* output);

// The short name of a function from its full signature: the text before the last '(',
// after the last ' ' of that, followed by "()". "int __cdecl Ns::Fn(int)" gives "Ns::Fn()".
QvString ShortenFunctionName(const char* signature);

// The part of a path after its last slash or backslash (QV_LOG_MESSAGE passes __FILE__).
constexpr const char* QvLogSourceBaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\')
            base = p + 1;
    }
    return base;
}

#if defined(_MSC_VER) && !defined(__clang__)
#define QV_LOG_FUNCTION_SIGNATURE __FUNCSIG__
#else
#define QV_LOG_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

// QV_LOG_MESSAGE(QV_LOG_LEVEL_ERROR, "cannot open %s", path): LogMessage with the caller's
// source file base name, line and function signature.
#define QV_LOG_MESSAGE(level, ...) \
    LogMessage((level), QvLogSourceBaseName(__FILE__), __LINE__, QV_LOG_FUNCTION_SIGNATURE, __VA_ARGS__)
