#pragma once
// Test stand-ins for the platform, installed into the seam's method tables by
// InstallTestPlatform, which every test program calls before anything else (the library
// carries none of this): counted allocations that can be made to fail, a clock that
// can stand still with counted waits, and faults or fakes for the temporary folder, the known
// folders, the interface language and the host name. Set these only while one thread runs.
#include <cstddef>
#include <cstdint>

namespace QvPlatformTest {

// Puts every stand-in into the seam's tables. Called once, before the first use of the
// library and while one thread runs: by the test main (QvTestMain.cpp) and by the fuzz
// targets' initialisation.
void InstallTestPlatform();

// Allocations (Malloc and Realloc calls) since the last reset.
long long GetAllocationCount();
// The size the last allocation asked for, whether or not it was granted.
size_t GetLastAllocationSize();
void ResetAllocationCount();  // also switches failing off
// The n-th allocation from now fails (1 = the next one); 0 switches failing off.
void FailAllocationNumber(long long n);
// The n-th allocation from now and every later one fail, until FailAllocationNumber(0).
void FailAllocationsFrom(long long n);

// The fake clock starts at fileTime; Sleep then advances it instead of waiting.
void SetFakeFileTime(uint64_t fileTime);
void AdvanceFakeClockMillis(int64_t millis);  // nothing while the real clock is in use
void UseRealClock();  // real time and real waits; clears the Sleep counters
// Sleep calls and their total milliseconds since the last UseRealClock or reset.
long long GetSleepCount();
long long GetSleptMillis();
void ResetSleepCounters();

void FailTempPathQuery(bool on);  // the temporary-folder query reports nothing
void FailKnownFolderQueries(bool on);  // as when the platform cannot name the folder
void SetFakeUiLanguage(uint16_t languageId);  // 0 asks the platform again
void SetFakeHostName(bool succeed, const char* name);  // a failed query when !succeed
void UseRealHostName();

}  // namespace QvPlatformTest
