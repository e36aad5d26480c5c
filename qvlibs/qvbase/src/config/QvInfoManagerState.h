#pragma once
// The settings readers' state, one per process (private to the library and its test
// support). Never destroyed: the settings can still be read late in process exit.

#include <cstdint>
#include <mutex>

#include "qvbase/QvString.h"

namespace QvInfoManagerPrivate {

// The settings path and its side copy, built on first use; the lock is held while they
// are built or replaced, once built they are only read.
struct SettingsPaths {
    std::mutex lock;
    QvString settings;
    QvString sideCopy;
    // Both from the settings path (the side copy adds its suffix); "" forgets both.
    void Set(const char* settingsPath);
};
SettingsPaths& Paths();

// The rate limiter of the empty-exclusion warning (see the watched-folder parse).
struct WarningRateLimiter {
    int64_t warningSuppressionTimerRecord = -1;  // -1: unset
    int64_t hitWarningCount = 0;
    int64_t lastLoggedHitCount = 0;
    int64_t hitsSinceReset = 0;
};
WarningRateLimiter& RateLimiter();

}  // namespace QvInfoManagerPrivate
