#pragma once
// Test support: each test case starts as a fresh process would. These reach into the
// library's per-process state through its private state headers; the library itself
// has no such calls.

#include <cstdint>

class QvString;

namespace QvFileTest {
// Forgets the temporary directory QvFile::GetTempDir worked out.
void ResetTempDirCache();
}  // namespace QvFileTest

namespace QvSystemTest {
// Empties the install and data directory caches and drops the identifier cache.
void ResetDirectoryCaches();
// Clears the locale override (the program itself never clears it).
void ResetLocaleOverride();
}  // namespace QvSystemTest

namespace QvLogTest {
// Forgets the time of the last cleanup, so the next line written runs the cleanup.
void ForgetLastCleanupTime();
}  // namespace QvLogTest

namespace QvInfoManagerTest {
// Uses path as the settings path (".sidecopy" appended for the side copy); null or ""
// forgets the paths so that the next call builds them from the data directory.
void SetQvInfoXmlPath(const char* path);
// Forgets the short host name worked out, so that the next settings read asks again.
void ForgetShortHostName();
// Returns the rate limiter of the empty-exclusion warning to its state at program start.
void ResetWarningRateLimiter();
}  // namespace QvInfoManagerTest

namespace QvUiUtilTest {
// Forgets the start, the loaded interface text, the text cache, the last locale setting
// and the status path. The next operation starts the module again.
void ResetModule();
// The keys whose texts are cached, in order.
int32_t GetCachedKeyCount();
const char* GetCachedKey(int32_t index);  // null outside the range
// The path the status readers formed for the host-information file (empty before).
void GetSynchostinfoPath(QvString* out);
}  // namespace QvUiUtilTest
