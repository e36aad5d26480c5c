#pragma once
// Pieces shared by the settings reader, the file-set reader and the watched-folder parse
// (private to the configuration layer).

#include <cstdint>

#include "qvbase/QvString.h"

class QvStringVector;

namespace QvInfoManagerInternal {

// Writes one log line made of the given parts in order (null parts are skipped).
void LogParts(const char* a, const char* b = nullptr, const char* c = nullptr, const char* d = nullptr,
              const char* e = nullptr);


// The comma-separated value as list items: with a comma, the trimmed fields of
// SplitCommaList; without, the whole value as one item, trimmed only when trimSingle (where
// SplitCommaList always trims it); an empty value gives no item. Clears items first. False
// when memory ran out and some item is missing or without its text. The watched-folder
// parse reads its lists by this rule (trimSingle false) in place.
bool SplitSettingList(const QvString* value, bool trimSingle, QvStringVector* items);

// The elements of the tag in text (null text: none). When memory ran out before all were
// kept, one line: outOfMemoryPrefix + "<n> <tag> elements not read". True when the text
// holds any element of the tag.
bool GetElements(const QvString* text, const char* tag, const char* outOfMemoryPrefix, QvStringVector* snippets);

// True when the string holds a buffer: every successful assignment leaves one, so a
// string without one lost its text to a failed allocation.
inline bool HasBuffer(const QvString* text) { return text != nullptr && text->GetCapacity() > 0; }

// The file sets of the settings text (null when the file could not be read); path only
// names the file in the log. Same results and log lines as GetAllFileSetDefsFromQvInfoFile.
void ReadFileSetDefs(const QvString* text, const QvString* path, QvStringVector* fileSets, int32_t* count);

}  // namespace QvInfoManagerInternal
