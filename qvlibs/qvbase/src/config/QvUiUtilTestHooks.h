#pragma once
// Private to the UI utility module: the link between its two source files (the status
// paths that InitQvUiUtil forms), and the hooks with which tests start each case as a
// fresh process would.

#include <cstdint>

class QvString;

namespace QvUiUtilPrivate {
// Forms the host-information status path from the data directory (QvUiUtilStatus.cpp).
// Called once by InitQvUiUtil.
void FormStatusFilePaths();
// Empties it again (for the test hook below).
void ForgetStatusFilePaths();
}  // namespace QvUiUtilPrivate

namespace QvUiUtilTest {
// Forgets the initialisation, the loaded interface text, the text cache, the last locale
// setting and the status paths. The next operation initialises the module again.
void ResetModule();
// The keys whose texts are cached, in order.
int32_t GetCachedKeyCount();
const char* GetCachedKey(int32_t index);  // null outside the range
// The path InitQvUiUtil formed for the host-information status file (empty before).
void GetSynchostinfoPath(QvString* out);
}  // namespace QvUiUtilTest
