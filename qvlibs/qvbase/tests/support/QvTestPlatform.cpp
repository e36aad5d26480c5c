// Test support: the stand-ins behind the platform seam's method tables. Each falls back on the
// real method the seam exports, so nothing changes until a test asks for a fault or a fake.
// InstallTestPlatform puts them in place; the test main and the fuzz targets' initialisation
// call it first thing, while one thread runs.
#include "QvTestPlatform.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "files/QvPlatformFiles.h"
#include "foundation/QvUntilExit.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformMemory.h"
#include "system/QvPlatformHost.h"
#include "system/QvPlatformShell.h"

namespace {

std::atomic<long long> allocationCount{0}, failAt{0};  // failAt: the absolute number that fails, 0 none
std::atomic<bool> failOnward{false};  // failOnward: every one after failAt fails too
std::atomic<size_t> lastAllocationSize{0};

bool CountAndCheckFailure(size_t size) {
    lastAllocationSize.store(size, std::memory_order_relaxed);
    long long number = allocationCount.fetch_add(1, std::memory_order_relaxed) + 1, failing = failAt.load();
    return (failing != 0 && (number == failing || (number > failing && failOnward.load())));
}
void* CountingMalloc(size_t size) {
    return CountAndCheckFailure(size) ? nullptr : QvPlatform::kNativeMemoryMethods.malloc(size);
}
void* CountingRealloc(void* block, size_t size) {
    return CountAndCheckFailure(size) ? nullptr : QvPlatform::kNativeMemoryMethods.realloc(block, size);
}
const uint64_t kTicksPerMilli = 10000;
std::atomic<bool> fakeClock{false};
std::atomic<uint64_t> fakeFileTime{0};
std::atomic<long long> sleepCount{0}, sleptMillis{0};
uint64_t ClockTime() { return fakeClock ? fakeFileTime.load() : QvPlatform::kNativeClockMethods.getSystemFileTime(); }
void CountedSleep(uint32_t ms) {
    ++sleepCount;
    sleptMillis += ms;
    if (fakeClock)
        fakeFileTime += uint64_t(ms) * kTicksPerMilli;
    else
        QvPlatform::kNativeClockMethods.sleep(ms);
}
std::atomic<bool> failTempPath{false}, failKnownFolders{false};
std::atomic<uint16_t> fakeUiLanguage{0};
bool TempPath(QvString* out) { return !failTempPath && QvPlatform::kNativeFilesMethods.queryTempPath(out); }
bool KnownFolder(QvPlatform::QvKnownFolder folder, QvUtf16String* out) {
    return !failKnownFolders && QvPlatform::kNativeShellMethods.queryKnownFolder(folder, out);
}
uint16_t UiLanguage() {
    uint16_t language = fakeUiLanguage;
    return language != 0 ? language : QvPlatform::kNativeShellMethods.getUserDefaultUiLanguage();
}
struct FakeHostName {
    std::mutex lock;
    bool on = false, succeeds = false;
    std::string name;
};
FakeHostName& HostName() {
    static QvUntilExit<FakeHostName> state;  // threads may still ask at exit
    return *state;
}
bool HostNameQuery(char* buffer, int32_t size) {
    FakeHostName& fake = HostName();
    std::lock_guard<std::mutex> guard(fake.lock);
    if (!fake.on)
        return QvPlatform::kNativeHostMethods.getHostName(buffer, size);
    if (buffer == nullptr || size < 2)
        return false;
    memset(buffer, 0, size_t(size));
    if (fake.succeeds)
        strncpy(buffer, fake.name.c_str(), size_t(size - 1));
    return fake.succeeds;
}
void SetHostName(bool on, bool succeeds, const char* name) {
    FakeHostName& fake = HostName();
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.on = on;
    fake.succeeds = succeeds;
    fake.name = name != nullptr ? name : "";
}

}  // namespace

namespace QvPlatformTest {

void InstallTestPlatform() {
    QvPlatform::memoryMethods = {CountingMalloc, CountingRealloc, QvPlatform::kNativeMemoryMethods.free};
    QvPlatform::clockMethods = {ClockTime, CountedSleep};
    QvPlatform::filesMethods = {TempPath};
    QvPlatform::shellMethods = {KnownFolder, UiLanguage};
    QvPlatform::hostMethods = {HostNameQuery};
}

long long GetAllocationCount() { return allocationCount; }
size_t GetLastAllocationSize() { return lastAllocationSize; }
void ResetAllocationCount() {
    FailAllocationNumber(0);
    allocationCount = 0;
}
void FailAllocationNumber(long long n) {
    failOnward = false;
    failAt = n > 0 ? allocationCount + n : 0;
}
void FailAllocationsFrom(long long n) {
    FailAllocationNumber(n);
    failOnward = n > 0;
}
void SetFakeFileTime(uint64_t fileTime) {
    fakeFileTime = fileTime;
    fakeClock = true;
}
void AdvanceFakeClockMillis(int64_t millis) {
    if (fakeClock)
        fakeFileTime += uint64_t(millis * int64_t(kTicksPerMilli));
}
void UseRealClock() {
    fakeClock = false;
    ResetSleepCounters();
}
long long GetSleepCount() { return sleepCount; }
long long GetSleptMillis() { return sleptMillis; }
void ResetSleepCounters() { sleepCount = sleptMillis = 0; }
void FailTempPathQuery(bool on) { failTempPath = on; }
void FailKnownFolderQueries(bool on) { failKnownFolders = on; }
void SetFakeUiLanguage(uint16_t languageId) { fakeUiLanguage = languageId; }
void SetFakeHostName(bool succeed, const char* name) { SetHostName(true, succeed, name); }
void UseRealHostName() { SetHostName(false, false, nullptr); }

}  // namespace QvPlatformTest
