#pragma once
// QvInfoManager: reading the client's settings file "qvinfo.xml" in the data directory.
// The file is never parsed into a tree: single settings are attributes looked up anywhere
// in its text (the first occurrence wins), repeated elements are taken out one by one.
// The tray program only reads the file; other programs of the client write it.

#include <cstdint>

#include "qvbase/QvControlPanelSettings.h"
#include "qvbase/QvSystem.h"  // GetShortHostName, which the settings record takes

class QvHashTable;
class QvString;
class QvStringVector;

// Slots of the watched-folder record array; at most one less is filled.
#define QV_INFO_MAX_NUM_DIR_FILTERS 10000
// File sets ("filesetdef" elements) read at most.
#define QV_INFO_MAX_NUM_FILESETS 150

namespace QvInfoManager {

const char* const kQvInfoFileName = "qvinfo.xml";
const char* const kSideCopySuffix = ".sidecopy";
// Bucket counts of a watched-folder record and of the excluded-file-type table.
const int32_t kWatchRecordBuckets = 500;
const int32_t kFileTypeTableBuckets = 50;
// The settings file is read this many times, with this wait after each failed attempt.
const int32_t kReadAttempts = 20;
const uint32_t kReadRetryWaitMillis = 200;

// The settings path: the data directory followed by "qvinfo.xml", built on first use
// (together with the ".sidecopy" path next to it) and cached until exit. Never null.
const QvString* GetQvInfoXmlPath();
const QvString* GetQvInfoSideCopyPath();

// The process-wide settings record.
ControlPanelSettings& GetControlPanelSettings();

// Resets the record and fills it from the settings file. Everything rejected (bad
// elements, a missing or unreadable file) goes to the log; nothing is returned.
// Blocks up to 20 x 200 ms while the file cannot be read.
void ReadControlPanelSettingsFromQvInfoXmlFile();

// Builds one record per watched folder ("qvdirfilter" inside "do_backup") into records
// (QV_INFO_MAX_NUM_DIR_FILTERS slots, of which at most one less are filled), sets *count,
// and fills fileTypes with the excluded file types. A record is a QvHashTable named by a
// mode character (blank: the folder's file sets; "x": excluded as a whole; "*": every
// file) followed by the folder path in ASCII lower case; its keys are the extensions of
// the folder's file sets and the words "none" and "all" where listed. Records are sorted
// by name length, longest first. Records left in the slots are released first; the caller
// owns the new ones (ReleaseWatchRecords). False when count, records or fileTypes is null.
bool ParseQvInfoForFilesToWatch(QvHashTable** records, int32_t* count, QvHashTable* fileTypes);

// A new watched-folder record (QvHashTable of kWatchRecordBuckets buckets from the
// library's allocator), or null; and the release of every record held in the
// QV_INFO_MAX_NUM_DIR_FILTERS slots, which are emptied.
QvHashTable* NewWatchRecord();
void ReleaseWatchRecord(QvHashTable* record);
void ReleaseWatchRecords(QvHashTable** records);

}  // namespace QvInfoManager

// Reads the file sets of the settings file at path into fileSets (an array of
// QV_INFO_MAX_NUM_FILESETS vectors, filled from index 0): element 0 the set's name as
// written, then its extensions in ASCII lower case. *count is the number filled.
void GetAllFileSetDefsFromQvInfoFile(const QvString* path, QvStringVector* fileSets, int32_t* count);

