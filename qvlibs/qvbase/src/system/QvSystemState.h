#pragma once
// The system services' state, one per process (private to the library and its test
// support): the directory caches, the locale chosen by the program and the host name.

#include <atomic>
#include <mutex>

#include "qvbase/QvString.h"

namespace QvSystemPrivate {

// An empty directory cache is computed (again) at the next call; the identifier is
// computed once, whatever it gives. The lock is recursive because computing the data
// directory and the identifier asks for the install directory; nothing else is locked
// while it is held. Never destroyed: code running late in process exit (the log writer)
// can still ask for the directories.
struct DirectoryCaches {
    std::recursive_mutex lock;
    QvString installDir;
    QvString dataDir;
    QvString hguid;
    bool hguidKnown = false;
};
DirectoryCaches& Caches();

// The locale code SetLocaleCode chose (it points into the library's locale table), or
// null; never cleared by the program. Atomic, so that one thread may set it while others
// look up texts.
std::atomic<const char*>& LocaleOverride();

// The short host name. The lock is held while the name is worked out, so threads asking
// at once get the one answer.
struct HostNameState {
    std::mutex lock;
    QvString shortName;
    bool known = false;
};
HostNameState& HostName();

}  // namespace QvSystemPrivate
