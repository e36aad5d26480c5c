// Test support: the stand-ins behind the platform seam's method tables. Each replacement
// falls back on the real method the seam exports, so an installed table changes nothing
// until a test asks for a fault or a fake.
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

std::atomic<long long> allocationCount{0};
std::atomic<long long> failAt{0};  // absolute allocation number that fails; 0 = none
std::atomic<bool> failAll{false};
std::atomic<bool> failOnward{false};  // every allocation from failAt on fails

bool CountAndCheckFailure() {
    long long number = allocationCount.fetch_add(1, std::memory_order_relaxed) + 1;
    if (failAll.load(std::memory_order_relaxed))
        return true;
    long long failing = failAt.load(std::memory_order_relaxed);
    return failing != 0 && (number == failing || (number > failing && failOnward.load(std::memory_order_relaxed)));
}
void* CountingMalloc(size_t size) {
    return CountAndCheckFailure() ? nullptr : QvPlatform::kCMemoryMethods.malloc(size);
}
void* CountingRealloc(void* block, size_t size) {
    return CountAndCheckFailure() ? nullptr : QvPlatform::kCMemoryMethods.realloc(block, size);
}

const uint64_t kTicksPerMilli = 10000;
std::atomic<bool> fakeClock{false};
std::atomic<uint64_t> fakeFileTime{0};
std::atomic<long long> sleepCount{0};
std::atomic<long long> sleptMillis{0};

uint64_t ClockTime() {
    return fakeClock.load() ? fakeFileTime.load() : QvPlatform::kNativeClockMethods.getSystemFileTime();
}
void CountedSleep(uint32_t ms) {
    ++sleepCount;
    sleptMillis += ms;
    if (fakeClock.load())
        fakeFileTime += uint64_t(ms) * kTicksPerMilli;
    else
        QvPlatform::kNativeClockMethods.sleep(ms);
}

std::atomic<bool> failTempPath{false};
bool TempPath(QvString* out) { return !failTempPath && QvPlatform::kNativeFilesMethods.queryTempPath(out); }

std::atomic<bool> failKnownFolders{false};
std::atomic<uint16_t> fakeUiLanguage{0};
bool KnownFolder(QvPlatform::QvKnownFolder folder, QvUtf16String* out) {
    return !failKnownFolders && QvPlatform::kNativeShellMethods.queryKnownFolder(folder, out);
}
uint16_t UiLanguage() {
    uint16_t language = fakeUiLanguage.load();
    return language != 0 ? language : QvPlatform::kNativeShellMethods.getUserDefaultUiLanguage();
}

struct FakeHostName {
    std::mutex lock;
    bool on = false;
    bool succeeds = false;
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

// Installed before main, while one thread runs.
struct Installer {
    Installer() {
        QvPlatform::memoryMethods = {CountingMalloc, CountingRealloc, QvPlatform::kCMemoryMethods.free};
        QvPlatform::clockMethods = {ClockTime, CountedSleep};
        QvPlatform::filesMethods = {TempPath};
        QvPlatform::shellMethods = {KnownFolder, UiLanguage};
        QvPlatform::hostMethods = {HostNameQuery};
    }
} installer;

}  // namespace

namespace QvPlatformTest {

void FailAllocationNumber(long long n) {
    failAll = false;
    failOnward = false;
    failAt = n > 0 ? allocationCount.load() + n : 0;
}
void FailAllocationsFrom(long long n) {
    FailAllocationNumber(n);
    failOnward = n > 0;
}
void FailAllAllocations(bool on) { failAll = on; }
long long GetAllocationCount() { return allocationCount.load(); }
void ResetAllocationCount() {
    allocationCount = 0;
    failAt = 0;
    failAll = false;
    failOnward = false;
}

void SetFakeFileTime(uint64_t fileTime) {
    fakeFileTime = fileTime;
    fakeClock = true;
}
void AdvanceFakeClockMillis(int64_t millis) {
    if (fakeClock.load())
        fakeFileTime += uint64_t(millis * int64_t(kTicksPerMilli));
}
void UseRealClock() {
    fakeClock = false;
    ResetSleepCounters();
}
long long GetSleepCount() { return sleepCount.load(); }
long long GetSleptMillis() { return sleptMillis.load(); }
void ResetSleepCounters() {
    sleepCount = 0;
    sleptMillis = 0;
}

void FailTempPathQuery(bool on) { failTempPath = on; }
void FailKnownFolderQueries(bool on) { failKnownFolders = on; }
void SetFakeUiLanguage(uint16_t languageId) { fakeUiLanguage = languageId; }
void SetFakeHostName(bool succeed, const char* name) {
    FakeHostName& fake = HostName();
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.on = true;
    fake.succeeds = succeed;
    fake.name = name != nullptr ? name : "";
}
void UseRealHostName() {
    FakeHostName& fake = HostName();
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.on = false;
}

}  // namespace QvPlatformTest
