#pragma once
// Test hooks of the settings reader (private): point the settings path at a test folder,
// stand in for the platform's host name, and start the warning rate limiter afresh, as
// a new process would.

namespace QvInfoManagerTest {

// Uses path as the settings path (".sidecopy" appended for the side copy); null or ""
// forgets the cached paths so that the next call builds them from the data directory.
void SetQvInfoXmlPath(const char* path);

// Answers the host-name query with name, or as a failed query when succeed is false.
// The short host name already worked out stays until ForgetShortHostName.
void SetFakeHostName(bool succeed, const char* name);
void ForgetShortHostName();
// Asks the platform again from now on, and forgets the short host name.
void UseRealHostName();

// Returns the rate limiter of the empty-exclusion warning to its state at program start.
void ResetWarningRateLimiter();

}  // namespace QvInfoManagerTest
