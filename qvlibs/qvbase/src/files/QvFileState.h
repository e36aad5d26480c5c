#pragma once
// The file operations' state, one per process (private to the library and its test
// support): the temporary directory, worked out on first use and kept.

#include <mutex>

#include "qvbase/QvString.h"

namespace QvFilePrivate {

// The lock is held while the directory is worked out, so threads asking at once all get
// the one answer; nothing else is locked meanwhile. Never destroyed.
struct TempDirState {
    std::mutex lock;
    QvString dir;
};
TempDirState& TempDir();

}  // namespace QvFilePrivate
