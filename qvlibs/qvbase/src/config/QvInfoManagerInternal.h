#pragma once
// Pieces shared by the settings reader, the file-set reader and the watched-folder parse
// (private to the configuration layer).

#include <cstdint>

class QvString;
class QvStringVector;

namespace QvInfoManagerInternal {

// Writes one log line made of the given parts in order (null parts are skipped).
void LogParts(const char* a, const char* b = nullptr, const char* c = nullptr, const char* d = nullptr,
              const char* e = nullptr);

// True when a and b have the same bytes, A to Z folded to lower case.
bool EqualsNoCase(const char* a, const char* b);

// The comma-separated value as list items: with a comma, the trimmed fields of
// SplitCommaList; without, the whole value as one item (trimmed when trimSingle); an empty
// value gives no item. Clears items first.
void SplitSettingList(const QvString* value, bool trimSingle, QvStringVector* items);

// The file sets of the settings text (null when the file could not be read); path only
// names the file in the log. Same results and log lines as GetAllFileSetDefsFromQvInfoFile.
void ReadFileSetDefs(const QvString* text, const QvString* path, QvStringVector* fileSets, int32_t* count);

}  // namespace QvInfoManagerInternal
