#pragma once
// Test hooks of the system services: forget the per-process caches so that one test
// process can compute the directories again, and stand in for platform answers that a
// test cannot change from inside the process.

#include <cstdint>

namespace QvSystemTest {

// Empties the install and data directory caches and drops the identifier cache.
void ResetDirectoryCaches();
// Makes every known-folder query fail (as when the platform cannot name the folder).
void FailKnownFolderQueries(bool on);

// Clears the locale override (the program itself never clears it).
void ResetLocaleOverride();
// Uses languageId in place of the platform's interface language; 0 asks the platform again.
void SetFakeUiLanguage(uint16_t languageId);

}  // namespace QvSystemTest
