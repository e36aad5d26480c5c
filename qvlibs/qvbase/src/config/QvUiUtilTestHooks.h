#pragma once
// Private to the UI utility module: the hooks with which tests start each case as a fresh
// process would. The status readers (QvUiUtilStatus.cpp) build on the start and the
// interface text (QvUiUtilText.cpp), never the other way round, so the reset of the whole
// module lives with them.

#include <cstdint>

class QvString;

namespace QvUiUtilPrivate {
// Forgets the start, the loaded interface text, the text cache and the last locale
// setting (QvUiUtilText.cpp), for ResetModule.
void ForgetStartAndText();
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
