#pragma once
// Test hooks of the log writer (private): tests start each case as a fresh process would.

namespace QvLogTest {
// Forgets the time of the last cleanup, so the next line written runs the cleanup.
void ForgetLastCleanupTime();
}  // namespace QvLogTest
