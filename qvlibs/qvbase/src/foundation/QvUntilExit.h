#pragma once
// The one form of program-wide state in this library: an object built on first use and
// never destroyed. Declared as a function-local static, its construction is safe when
// several threads ask first at once (the language guarantees it), and, since the wrapper
// has no destructor of its own, the object stays usable by code that runs late in process
// exit (the log writer, the caches it asks for).
//
//     QvString& CachedPath() {
//         static QvUntilExit<QvString> path;
//         return *path;
//     }

#include <new>
#include <utility>

template <typename T>
class QvUntilExit {
public:
    template <typename... Args>
    explicit QvUntilExit(Args&&... args) {
        new (storage) T(std::forward<Args>(args)...);
    }
    QvUntilExit(const QvUntilExit&) = delete;
    QvUntilExit& operator=(const QvUntilExit&) = delete;

    T& operator*() { return *Get(); }
    T* operator->() { return Get(); }

private:
    T* Get() { return std::launder(reinterpret_cast<T*>(storage)); }
    alignas(T) unsigned char storage[sizeof(T)];
};
