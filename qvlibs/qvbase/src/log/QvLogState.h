#pragma once
// The log writer's state, one per process (private to the library and its test support).

#include <cstdint>
#include <mutex>

#include "qvbase/QvString.h"

namespace QvLogPrivate {

// Read and written only under its lock, the innermost lock of the library (no other lock
// of the library is taken while it is held). Never destroyed: lines written late in
// process exit still find it. The directory ends in a backslash while directorySet is true.
struct LogState {
    std::recursive_mutex lock;
    QvString directory;
    bool directorySet = false;
    // Where the folders begin that must not be links: those below the data directory
    // when the log directory lies in it, otherwise the log directory's own name.
    int32_t linkCheckFrom = 0;
    QvString linkCheckFolder;  // reused by every line's check
    // The day file of the last line, kept until the day or the directory changes.
    int32_t dayOfPath = -1;
    QvString dayPath;
    int64_t lastCleanupMillis = 0;
    // Reused by every line, so that a line takes no allocation of its own: the day of the
    // month as text, the line itself (up to kKeptLineCapacity bytes; a longer line is
    // built in a string of its own), and the process id as " %10d" writes it.
    QvString dayText;
    QvString line;
    uint32_t processIdOfText = 0;
    char processText[24] = {0};
};
// Lines up to this size are built in LogState::line.
const int32_t kKeptLineCapacity = 4096;
LogState& Log();

}  // namespace QvLogPrivate
