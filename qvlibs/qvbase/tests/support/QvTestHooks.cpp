// Test support: returning the library's per-process state to that of a fresh process.
#include "QvTestHooks.h"

#include "config/QvInfoManagerState.h"
#include "config/QvUiUtilState.h"
#include "files/QvFileState.h"
#include "log/QvLogState.h"
#include "system/QvSystemState.h"

void QvFileTest::ResetTempDirCache() {
    QvFilePrivate::TempDirState& state = QvFilePrivate::TempDir();
    std::lock_guard<std::mutex> guard(state.lock);
    state.dir.Set("");
}

void QvSystemTest::ResetDirectoryCaches() {
    QvSystemPrivate::DirectoryCaches& caches = QvSystemPrivate::Caches();
    std::lock_guard<std::recursive_mutex> guard(caches.lock);
    caches.installDir.Set("");
    caches.dataDir.Set("");
    caches.hguid.Set("");
    caches.hguidKnown = false;
}
void QvSystemTest::ResetLocaleOverride() { QvSystemPrivate::LocaleOverride() = nullptr; }

void QvSystemTest::ForgetShortHostName() {
    QvSystemPrivate::HostNameState& state = QvSystemPrivate::HostName();
    std::lock_guard<std::mutex> guard(state.lock);
    state.known = false;
}

void QvLogTest::ForgetLastCleanupTime() {
    QvLogPrivate::LogState& log = QvLogPrivate::Log();
    std::lock_guard<std::recursive_mutex> guard(log.lock);
    log.lastCleanupMillis = 0;
}

void QvInfoManagerTest::SetQvInfoXmlPath(const char* path) {
    QvInfoManagerPrivate::SettingsPaths& paths = QvInfoManagerPrivate::Paths();
    std::lock_guard<std::mutex> guard(paths.lock);
    paths.Set(path != nullptr ? path : "");
}
void QvInfoManagerTest::ResetWarningRateLimiter() {
    QvInfoManagerPrivate::RateLimiter() = QvInfoManagerPrivate::WarningRateLimiter();
}

void QvUiUtilTest::ResetModule() {
    QvUiUtilPrivate::QvUiTextState& s = QvUiUtilPrivate::State();
    {
        std::lock_guard<std::recursive_mutex> startGuard(s.startLock);
        s.started.store(false, std::memory_order_release);
        s.uiUtilInitialized = false;
        std::lock_guard<std::mutex> guard(QvUiUtilPrivate::InterfaceTextLock());
        for (QvString* text : {&s.private_qvbuiInterfaceXml, &s.cachedLocale, &s.lang, &s.errorText})
            text->Set("");
        s.uiLocaleSetting.Set("");
        for (QvStringVector* list : {&s.cachedKeys, &s.cachedTexts, &s.snippets})
            list->Clear();
    }
    QvUiUtilPrivate::StatusPaths& paths = QvUiUtilPrivate::Paths();
    std::lock_guard<std::mutex> guard(paths.lock);
    paths.synchostinfo.Set("");
}
int32_t QvUiUtilTest::GetCachedKeyCount() { return QvUiUtilPrivate::kCachedKeyCount; }
const char* QvUiUtilTest::GetCachedKey(int32_t index) {
    return index >= 0 && index < QvUiUtilPrivate::kCachedKeyCount ? QvUiUtilPrivate::kCachedKeys[index] : nullptr;
}
