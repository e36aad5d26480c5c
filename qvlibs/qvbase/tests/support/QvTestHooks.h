#pragma once
// Test support: each test case starts as a fresh process would. These reach the library's
// per-process state through its private state headers; the library itself has no such calls.
#include <cstdint>

class QvString;

namespace QvFileTest {
void ResetTempDirCache();  // forgets the temporary directory QvFile::GetTempDir worked out
}  // namespace QvFileTest

namespace QvSystemTest {
void ResetDirectoryCaches();  // the install and data directories and the identifier
void ResetLocaleOverride();  // the program itself never clears it
void ForgetShortHostName();  // the next GetShortHostName asks the platform again
}  // namespace QvSystemTest

namespace QvLogTest {
void ForgetLastCleanupTime();  // the next line written runs the cleanup
}  // namespace QvLogTest

namespace QvInfoManagerTest {
// Uses path as the settings path (".sidecopy" appended for the side copy); null or "" forgets
// the paths, so that the next call builds them from the data directory.
void SetQvInfoXmlPath(const char* path);
void ResetWarningRateLimiter();  // the empty-exclusion warning's limiter as at program start
}  // namespace QvInfoManagerTest

namespace QvUiUtilTest {
// Forgets the start, the interface text, the text cache, the locale setting and the status
// path: the next operation starts the module again.
void ResetModule();
int32_t GetCachedKeyCount();  // the keys whose texts are cached, in order
const char* GetCachedKey(int32_t index);  // null outside the range
}  // namespace QvUiUtilTest
