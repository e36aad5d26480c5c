#pragma once
// Test support: stand-ins for the platform, installed into the seam's method tables when
// a test program starts (the library itself carries none of this). Allocations are
// counted and can be made to fail; the clock can stand still and waits are counted; the
// temporary folder, the known folders, the interface language and the host name can be
// made to fail or answer something else. Set these only while one thread runs.

#include <cstdint>

namespace QvPlatformTest {

// Allocations: counting covers Malloc and Realloc calls (Free is not counted).
// The n-th allocation from now fails (1 = the next one); 0 switches failing off.
void FailAllocationNumber(long long n);
// The n-th allocation from now and every later one fail, as on a machine that stays out
// of memory; FailAllocationNumber(0) ends it.
void FailAllocationsFrom(long long n);
// Every allocation from now fails until FailAllocationNumber(0).
void FailAllAllocations(bool on);
// Allocations made since the last reset.
long long GetAllocationCount();
void ResetAllocationCount();

// Clock: switches the fake clock on at the given file time; Sleep then advances it.
void SetFakeFileTime(uint64_t fileTime);
// Moves the fake clock; does nothing while the real clock is in use.
void AdvanceFakeClockMillis(int64_t millis);
// Back to the real clock and real waits; clears the Sleep counters.
void UseRealClock();
// Sleep calls and their total milliseconds since the last UseRealClock or reset.
long long GetSleepCount();
long long GetSleptMillis();
void ResetSleepCounters();

// Makes the temporary-folder query report nothing until switched off again.
void FailTempPathQuery(bool on);
// Makes every known-folder query fail (as when the platform cannot name the folder).
void FailKnownFolderQueries(bool on);
// Uses languageId in place of the platform's interface language; 0 asks the platform again.
void SetFakeUiLanguage(uint16_t languageId);
// Answers the host-name query with name, or as a failed query when succeed is false.
void SetFakeHostName(bool succeed, const char* name);
// Asks the platform for the host name again.
void UseRealHostName();

}  // namespace QvPlatformTest
