// The log writer: module state (directory, last cleanup time, recursive lock), the day's
// file name, the line layout and the cleanup of the files of the coming days. A log that
// cannot be written is skipped without a word: there is nowhere else to report it.
#include "qvbase/QvLog.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

#include "foundation/QvUntilExit.h"
#include "log/QvLogState.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformFormat.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvTime.h"

namespace {

// The cleanup runs at most once in this many milliseconds (either way, so a clock set
// back by more than that also triggers it).
const int64_t kCleanupIntervalMillis = 600000;
// Days ahead of today whose files the cleanup deletes: today and tomorrow are kept.
const int32_t kCleanupFirstDayAhead = 2;
const int32_t kCleanupLastDayAhead = 6;
// From this day of the month on, the first days of the next month are cleaned as well.
const int32_t kCleanupMonthEndAfterDay = 25;
const int32_t kCleanupNextMonthLastDay = 5;

const char kLogFileExtension[] = ".log";
const char kZipFileExtension[] = ".zip";
const int32_t kExtensionLength = 4;

using QvLogPrivate::Log;
using QvLogPrivate::LogState;

// The index of the last c before index end, or -1.
int32_t FindLastChar(const QvString* text, char c, int32_t end) {
    const char* bytes = text->GetText();
    for (int32_t i = end - 1; i >= 0; --i) {
        if (bytes[i] == c)
            return i;
    }
    return -1;
}

const char* TagOfLevel(int32_t level) {
    switch (level) {
    case QV_LOG_LEVEL_ERROR:
        return "ERROR";
    case QV_LOG_LEVEL_WARNING:
        return "WARNING";
    case QV_LOG_LEVEL_NOTE:
        return "NOTE";
    default:
        return nullptr;
    }
}

// Deletes the day's log file and its ".zip" counterpart, when they exist.
void RemoveDayFiles(int32_t day) {
    QvString path;
    GetLogFilePath(day, &path);
    if (QvFile::FileExists(&path))
        QvFile::RemoveFile(path.GetText());
    if (!path.EndsWithNoCase(kLogFileExtension))
        return;
    path.SetLength(path.GetLength() - kExtensionLength);
    path.Append(kZipFileExtension);
    if (QvFile::FileExists(&path))
        QvFile::RemoveFile(path.GetText());
}

// A file for day k is appended to again next month; delete the files of the coming days
// before that happens. Runs under the log lock.
void CleanUpComingDays(int32_t today, int64_t now) {
    LogState& log = Log();
    int64_t sinceLast = now - log.lastCleanupMillis;
    if (sinceLast < 0)
        sinceLast = -sinceLast;
    if (sinceLast <= kCleanupIntervalMillis)
        return;
    log.lastCleanupMillis = now;
    for (int32_t day = today + kCleanupFirstDayAhead; day <= today + kCleanupLastDayAhead; ++day)
        RemoveDayFiles(day);
    if (today > kCleanupMonthEndAfterDay) {
        for (int32_t day = 0; day <= kCleanupNextMonthLastDay; ++day)
            RemoveDayFiles(day);
    }
}

// The folders the writer makes below the data directory get an access list open to every
// user, so that any user could swap one of them for a link (a junction, a symbolic link)
// into a folder of somebody else's, and have that user's programs create and delete log
// files there. No line is written and nothing is cleaned up through such a link. The
// data directory itself may be a link: it is chosen by administrators. Runs under the lock.
bool LogDirectoryPassesThroughLink() {
    LogState& log = Log();
    const QvString& directory = log.directory;  // ends in a separator
    const char* text = directory.GetText();
    QvString& folder = log.linkCheckFolder;
    for (int32_t i = log.linkCheckFrom; i < directory.GetLength(); ++i) {
        if (!QvFile::IsPathSeparator(text[i]) || i == 0 || QvFile::IsPathSeparator(text[i - 1]))
            continue;
        folder.Set(text, i);
        if (QvFile::IsReparsePoint(folder.GetText()))
            return true;
    }
    return false;
}

// The first index of the log directory whose folders are checked for links.
int32_t LinkCheckStart(const QvString& lowerDirectory, const QvString& lowerDataDir) {
    if (lowerDataDir.GetLength() > 0 && lowerDirectory.Find(0, &lowerDataDir) == 0)
        return lowerDataDir.GetLength();
    int32_t start = 0;
    for (int32_t i = 0; i + 1 < lowerDirectory.GetLength(); ++i)
        if (QvFile::IsPathSeparator(lowerDirectory.GetText()[i]))
            start = i + 1;
    return start;
}

}  // namespace

// The data directory is asked before the lock is taken: its cache has a lock of its own,
// which is never taken inside the log lock.
void SetLogDirectory(const char* directory) {
    // A log directory inside a data directory that is gone (uninstalled) must not bring
    // the data directory back to life.
    bool refused = false;
    int32_t linkCheckFrom = 0;
    if (directory) {
        QvString dataDir;
        QvSystem::GetDataDir(&dataDir);
        QvString lowerDirectory(directory);
        lowerDirectory.MakeLower();
        QvString lowerDataDir(&dataDir);
        lowerDataDir.MakeLower();
        if (directory[0] != '\0' && dataDir.GetLength() > 0)
            refused = lowerDirectory.Find(0, &lowerDataDir) >= 0 && !QvFile::FileExists(&dataDir);
        linkCheckFrom = LinkCheckStart(lowerDirectory, lowerDataDir);
    }

    std::lock_guard<std::recursive_mutex> guard(Log().lock);
    Log().directorySet = false;
    Log().directory.Set("");
    if (!directory || refused)
        return;
    Log().directory.Set(directory);
    QvFile::RemoveTrailingSeparator(&Log().directory);
    QvFile::CreateDirectoryTree(Log().directory.GetText(), true);
    Log().directory.AppendChar('\\');
    Log().linkCheckFrom = linkCheckFrom;
    Log().dayOfPath = -1;
    Log().directorySet = true;
}

void GetLogFilePath(int32_t day, QvString* output) {
    std::lock_guard<std::recursive_mutex> guard(Log().lock);
    if (!Log().directorySet || !output)
        return;
    output->Set(&Log().directory);
    QvFile::RemoveTrailingSeparator(output);

    // The file name starts with the directory's own name: "...\qvbuitray\qvbuitray07.log".
    int32_t length = output->GetLength();
    int32_t lastBackslash = FindLastChar(output, '\\', length - 1);
    if (lastBackslash >= 0) {
        QvString name = output->Mid(lastBackslash + 1, length - 2);
        output->AppendChar('\\');
        output->Append(&name);
    } else if (length == 0 || output->GetText()[length - 1] != '\\') {
        output->AppendChar('\\');
    }

    if (day < 10)
        output->AppendChar('0');
    output->AppendInt(day);
    output->Append(kLogFileExtension);
}

namespace {
// Forms "stamp processText - message" and a line feed (unless the message ends with one)
// in line, with room made once for lineLength bytes, and appends it to the file at path.
void AppendLine(const char* path, const char* stamp, const char* processText, const QvString* message,
                int64_t lineLength, QvString* line) {
    line->Set(stamp);
    if (lineLength <= INT32_MAX)
        line->EnsureCapacity(static_cast<int32_t>(lineLength), true);
    line->Append(processText);
    line->Append(" - ");
    line->Append(message);
    const int32_t messageLength = message->GetLength();
    if (messageLength == 0 || message->GetText()[messageLength - 1] != '\n')
        line->AppendChar('\n');
    QvFile::AppendToFile(path, line);
}
}  // namespace

void WriteLogLine(const QvString* message) {
    LogState& log = Log();
    int64_t now = GetCurrentTimeMillis();
    uint32_t processId = QvPlatform::GetCurrentProcessId();
    if (!message)
        return;

    // One line is formed and appended whole under the lock, so lines of several threads
    // never mix and the cleanup runs for one of them at a time.
    std::lock_guard<std::recursive_mutex> guard(log.lock);
    if (!log.directorySet)
        return;
    char stamp[kQvTimeTextBufferSize];
    FormatTimeMillis(stamp, now);
    // Characters 9 and 10 of "YYYY-MM-DD HH:MM:SS" are the day of the month, read as a
    // number (1 when they hold none, as in an empty stamp).
    const int32_t stampLength = static_cast<int32_t>(strlen(stamp));
    const int32_t dayAt = stampLength < 8 ? stampLength : 8;
    log.dayText.Set(stamp + dayAt, stampLength - dayAt < 2 ? stampLength - dayAt : 2);
    const int32_t today = log.dayText.ToInt(1);

    if (LogDirectoryPassesThroughLink())
        return;
    // Formed again after a failed allocation left it empty.
    if (log.dayOfPath != today || log.dayPath.GetLength() == 0) {
        GetLogFilePath(today, &log.dayPath);
        log.dayOfPath = today;
    }
    const QvString& path = log.dayPath;

    // The process id right-aligned in ten columns after a blank, as " %10d" writes it;
    // formatted again only when the id changes.
    if (log.processIdOfText != processId || log.processText[0] == 0) {
        QvPlatform::FormatTextInto(log.processText, sizeof log.processText, " %10d", int(processId));
        log.processIdOfText = processId;
    }
    const int64_t lineLength =
        int64_t(stampLength) + int64_t(strlen(log.processText)) + 3 + message->GetLength() + 1;
    if (lineLength <= QvLogPrivate::kKeptLineCapacity) {
        AppendLine(path.GetText(), stamp, log.processText, message, lineLength, &log.line);
    } else {
        QvString ownLine;
        AppendLine(path.GetText(), stamp, log.processText, message, lineLength, &ownLine);
    }

    CleanUpComingDays(today, now);
}

void WriteLogText(const char* message) {
    QvString text(message ? message : "");
    WriteLogLine(&text);
}

void LogMessage(int32_t level, const char* sourceFile, int32_t line, const char* functionSignature,
                const char* format, ...) {
    QvString text;
    if (format) {
        va_list args;
        va_start(args, format);
        QvString formatted(format, args);
        va_end(args);
        text.Set(&formatted);
    }
    QvString functionName = ShortenFunctionName(functionSignature);
    const char* file = sourceFile ? sourceFile : "";
    const char* tag = TagOfLevel(level);

    QvString message;
    if (tag)
        message.Format("%s:%d [%s] %s:\t%s", file, int(line), functionName.GetText(), tag, text.GetText());
    else
        message.Format("%s:%d [%s]:\t%s", file, int(line), functionName.GetText(), text.GetText());
    WriteLogLine(&message);
}

QvString ShortenFunctionName(const char* signature) {
    QvString name(signature ? signature : "");
    int32_t paren = FindLastChar(&name, '(', name.GetLength());
    if (paren >= 0)
        name.SetLength(paren);
    int32_t space = FindLastChar(&name, ' ', name.GetLength());
    if (space >= 0)
        name.Delete(0, space + 1);
    name.Append("()");
    return name;
}

namespace QvLogPrivate {
LogState& Log() {
    static QvUntilExit<LogState> state;
    return *state;
}
}  // namespace QvLogPrivate
