// Test support: returning the library's per-process state to that of a fresh process.
#include "QvTestHooks.h"

#include "config/QvInfoManagerState.h"
#include "config/QvUiUtilState.h"
#include "files/QvFileState.h"
#include "log/QvLogState.h"
#include "qvbase/QvInfoManager.h"
#include "system/QvSystemState.h"

namespace QvFileTest {
void ResetTempDirCache() {
    QvFilePrivate::TempDirState& state = QvFilePrivate::TempDir();
    std::lock_guard<std::mutex> guard(state.lock);
    state.dir.Set("");
}
}  // namespace QvFileTest

namespace QvSystemTest {
void ResetDirectoryCaches() {
    QvSystemPrivate::DirectoryCaches& caches = QvSystemPrivate::Caches();
    std::lock_guard<std::recursive_mutex> guard(caches.lock);
    caches.installDir.Set("");
    caches.dataDir.Set("");
    caches.hguid.Set("");
    caches.hguidKnown = false;
}
void ResetLocaleOverride() { QvSystemPrivate::LocaleOverride() = nullptr; }
}  // namespace QvSystemTest

namespace QvLogTest {
void ForgetLastCleanupTime() {
    QvLogPrivate::LogState& log = QvLogPrivate::Log();
    std::lock_guard<std::recursive_mutex> guard(log.lock);
    log.lastCleanupMillis = 0;
}
}  // namespace QvLogTest

namespace QvInfoManagerTest {
void SetQvInfoXmlPath(const char* path) {
    std::lock_guard<std::mutex> guard(QvInfoManagerPrivate::PathsLock());
    bool set = path != nullptr && path[0] != '\0';
    QvInfoManagerPrivate::QvInfoXmlPath().Set(set ? path : "");
    QvInfoManagerPrivate::QvInfoSideCopyPath().Set(set ? path : "");
    if (set)
        QvInfoManagerPrivate::QvInfoSideCopyPath().Append(QvInfoManager::kSideCopySuffix);
}
void ForgetShortHostName() {
    QvInfoManagerPrivate::HostNameState& state = QvInfoManagerPrivate::HostName();
    std::lock_guard<std::mutex> guard(state.lock);
    state.known = false;
}
void ResetWarningRateLimiter() { QvInfoManagerPrivate::RateLimiter() = QvInfoManagerPrivate::WarningRateLimiter(); }
}  // namespace QvInfoManagerTest

namespace QvUiUtilTest {
void ResetModule() {
    QvUiUtilPrivate::QvUiTextState& s = QvUiUtilPrivate::State();
    {
        std::lock_guard<std::recursive_mutex> startGuard(s.startLock);
        s.started.store(false, std::memory_order_release);
        s.uiUtilInitialized = false;
        std::lock_guard<std::mutex> guard(QvUiUtilPrivate::InterfaceTextLock());
        s.private_qvbuiInterfaceXml.Set("");
        s.cachedLocale.Set("");
        s.cachedKeys.Clear();
        s.cachedTexts.Clear();
        s.snippets.Clear();
        s.lang.Set("");
        s.errorText.Set("");
        s.uiLocaleSetting.Set("");
    }
    QvUiUtilPrivate::StatusPaths& paths = QvUiUtilPrivate::Paths();
    std::lock_guard<std::mutex> guard(paths.lock);
    paths.synchostinfo.Set("");
}
int32_t GetCachedKeyCount() { return QvUiUtilPrivate::kCachedKeyCount; }
const char* GetCachedKey(int32_t index) {
    return index >= 0 && index < QvUiUtilPrivate::kCachedKeyCount ? QvUiUtilPrivate::kCachedKeys[index] : nullptr;
}
void GetSynchostinfoPath(QvString* out) {
    QvUiUtilPrivate::StatusPaths& paths = QvUiUtilPrivate::Paths();
    std::lock_guard<std::mutex> guard(paths.lock);
    if (out)
        out->Set(&paths.synchostinfo);
}
}  // namespace QvUiUtilTest
