#pragma once
// The UI utility module's state, one per process (private to the library and its test
// support). Never destroyed: texts handed out by reference stay valid for anything that
// still runs late in process exit.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

namespace QvUiUtilPrivate {

// The keys whose texts are cached, in order.
extern const char* const kCachedKeys[];
extern const int32_t kCachedKeyCount;

struct QvUiTextState {
    // The start (InitQvUiUtil) runs under startLock. uiUtilInitialized is set under it as
    // the start begins, so that the start's own steps do not start it again on the same
    // thread; started is set once the start is complete and is what other threads check
    // without the lock. The lock is recursive for those nested calls.
    std::recursive_mutex startLock;
    bool uiUtilInitialized = false;
    std::atomic<bool> started{false};
    QvString private_qvbuiInterfaceXml;
    // cachedTexts[i] is the text of cachedKeys[i] in cachedLocale; empty until looked up.
    QvString cachedLocale;
    QvStringVector cachedKeys;
    QvStringVector cachedTexts;
    // Scratch values of the lookup, reused from call to call under InterfaceTextLock.
    QvStringVector snippets;
    QvString lang;
    QvString errorText;
    QvString uiLocaleSetting;
};
QvUiTextState& State();

// Held over the whole lookup, cache included (see GetUtf8InterfaceText). Only log lines
// are written while it is held; the log lock nests inside it. The start lock is never
// taken while it is held.
std::mutex& InterfaceTextLock();

// The host-information path, formed at the first status read after the module's start
// (the data directory is known by then) and kept for the process. The lock is held while
// it is formed; once formed it is only read.
struct StatusPaths {
    std::mutex lock;
    QvString synchostinfo;
};
StatusPaths& Paths();

}  // namespace QvUiUtilPrivate
