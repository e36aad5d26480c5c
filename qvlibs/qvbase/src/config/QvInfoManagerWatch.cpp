// Watched folders: one record per "qvdirfilter" element inside the "do_backup" elements of
// the settings file, holding the extensions of the folder's file sets, plus the table of
// file types excluded everywhere. The settings file is read once per parse and its text
// shared by every step (each step sees what a fresh read would have given).
#include "qvbase/QvInfoManager.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "config/QvInfoManagerInternal.h"
#include "config/QvInfoManagerState.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvTime.h"

using QvInfoManagerInternal::GetElements;
using QvInfoManagerInternal::HasBuffer;
using QvInfoManagerInternal::LogParts;

namespace {

const char* const kParseErrorPrefix = "ERROR: ParseQvInfoForFilesToWatch, ";
// Memory running out while the file is taken apart: what could not be kept is named.
const char* const kOutOfMemoryPrefix = "ERROR: ParseQvInfoForFilesToWatch, out of memory, ";
const char* const kSmartWatchWord = "smartwatchfilesets";
// Records stored at most: one slot of the array always stays empty.
const int32_t kMaxStoredRecords = QV_INFO_MAX_NUM_DIR_FILTERS - 1;
const char kWatchedMode = ' ';
const char kExcludedMode = 'x';
const char kAllFilesMode = '*';

// ---- Rate limiter of the empty-exclusion warning ---------------------------------
// A client whose settings never list excluded file types would otherwise log the
// warning at every parse. The first nine hits since the normal rate was last in force
// are logged; after that at most one line per window, and the normal rate returns after
// a window that brought fewer than kResumeBelowHits hits.
const int64_t kUnsetTime = -1;
const int64_t kNormalRateHits = 10;
const int64_t kSuppressionWindowMillis = 600000;
const int64_t kResumeBelowHits = 20;

using QvInfoManagerPrivate::WarningRateLimiter;

void LogEmptyExclusionWarning(const QvString* path) {
    QvString line("WARNING: QvInfoManager::ParseQvInfoForFilesToWatch processId=");
    line.AppendInt64(static_cast<int64_t>(QvPlatform::GetCurrentProcessId()));
    line.Append(")  excludefiletypes val zero len (hitWarningCount=");
    line.AppendInt64(QvInfoManagerPrivate::RateLimiter().hitWarningCount);
    line.Append(") in qvinfo file : ");
    line.Append(path);
    WriteLogLine(&line);
}

void CountEmptyExclusionHit(const QvString* path) {
    WarningRateLimiter& limiter = QvInfoManagerPrivate::RateLimiter();
    int64_t now = GetCurrentTimeMillis();
    if (limiter.warningSuppressionTimerRecord == kUnsetTime) {
        WriteLogText("Initializing warningSuppressionTimerRecord.");
        limiter.warningSuppressionTimerRecord = now;
    }
    limiter.hitWarningCount++;
    limiter.hitsSinceReset++;
    if (limiter.hitsSinceReset < kNormalRateHits) {
        LogEmptyExclusionWarning(path);
        return;
    }
    int64_t elapsed = now - limiter.warningSuppressionTimerRecord;
    if (elapsed <= kSuppressionWindowMillis)  // a clock set back counts as no time passed
        return;
    int64_t fresh = limiter.hitWarningCount - limiter.lastLoggedHitCount;
    limiter.lastLoggedHitCount = limiter.hitWarningCount;
    limiter.warningSuppressionTimerRecord = now;
    LogEmptyExclusionWarning(path);
    WriteLogText("INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging rate is forced low to prevent log clutter.");
    if (fresh < kResumeBelowHits) {
        WriteLogText("INFO: QvInfoManager::ParseQvInfoForFilesToWatch logging resuming normal rate.");
        limiter.hitsSinceReset = 0;
    }
}

// ---- Parse steps -------------------------------------------------------------------

void ReadExcludedFileTypes(const QvString* text, const QvString* path, QvHashTable* fileTypes) {
    fileTypes->Clear();
    fileTypes->SetName("excludefiletypes");
    QvString value;
    if (text == nullptr || !QvFile::GetUniqueStrAttrFromXmlSnippet(text->GetText(), "excludefiletypes", &value))
        LogParts("ERROR: no excludefiletypes tag in qvinfo file: ", path->GetText());
    if (value.GetLength() < 1) {
        CountEmptyExclusionHit(path);
        return;
    }
    QvStringVector fields;
    if (!HasBuffer(&value) || !QvInfoManagerInternal::SplitSettingList(&value, true, &fields))
        LogParts(kOutOfMemoryPrefix, "excludefiletypes not read whole: ", value.GetText());
    for (int32_t i = 0; i < fields.GetCount(); i++) {
        QvString* field = fields.GetAt(i);
        if (!HasBuffer(field))
            continue;  // its text was lost, and the line above says so
        if (field->GetText()[0] == '.')
            field->Delete(0, 1);
        field->MakeLower();
        fileTypes->Insert(field->GetText(), field->GetLength());
        if (!fileTypes->Contains(field->GetText(), field->GetLength()))
            LogParts(kOutOfMemoryPrefix, "excluded file type not taken: ", field->GetText());
    }
}

// Copy of value with every "smartwatchfilesets" replaced, left to right, by smartValue;
// inserted text is not searched again. first is the index of the first occurrence.
void SubstituteSmartWatch(const QvString& value, int32_t first, const QvString& smartValue, QvString* out) {
    out->Set("");
    const int32_t wordLength = static_cast<int32_t>(strlen(kSmartWatchWord));
    int32_t start = 0;
    for (int32_t at = first; at >= 0; at = value.Find(start, kSmartWatchWord)) {
        out->Append(value.Mid(start, at - start).GetText());
        out->Append(&smartValue);
        start = at + wordLength;
    }
    out->Append(value.GetText() + start);
}

// The file sets in a form quick to search: names with their lengths.
struct FileSetIndex {
    QvStringVector sets[QV_INFO_MAX_NUM_FILESETS];
    int32_t lengths[QV_INFO_MAX_NUM_FILESETS];
    int32_t count = 0;

    // The first set whose name equals the item ignoring ASCII case, or null.
    const QvStringVector* Find(const char* item, int32_t length) const {
        for (int32_t i = 0; i < count; i++) {
            if (lengths[i] == length && QvString::EqualsNoCase(item, length, sets[i].GetAt(0)->GetText()))
                return &sets[i];
        }
        return nullptr;
    }
};

// Strings reused by every record of one parse, so that a record costs no allocations
// beyond its own table once they have grown to the longest values.
struct RecordScratch {
    QvString folder;
    QvString whichFiles;
    QvString expanded;
    QvString name;
};

// Inserts the key; false when memory ran out and the record lacks it.
bool InsertKey(QvHashTable* record, const char* key, int32_t length) {
    record->Insert(key, length);
    return record->Contains(key, length);
}

// Applies one item of a folder's list to its record (the item is length bytes at item,
// not terminated). False when memory ran out and a key is missing from the record.
bool ApplyItem(const char* item, int32_t length, const char* snippet, const FileSetIndex& fileSets,
               QvHashTable* record, char* mode) {
    bool whole = true;
    if (QvString::EqualsNoCase(item, length, "none")) {
        whole = InsertKey(record, "none", 4);
        *mode = kExcludedMode;
    } else if (QvString::EqualsNoCase(item, length, "all")) {
        whole = InsertKey(record, "all", 3);
        *mode = kAllFilesMode;
    } else if (const QvStringVector* fileSet = fileSets.Find(item, length)) {
        for (int32_t k = 1; k < fileSet->GetCount(); k++)
            whole = InsertKey(record, fileSet->GetAt(k)->GetText(), fileSet->GetAt(k)->GetLength()) && whole;
    } else {
        QvString text;
        text.Set(item, length);
        LogParts("ERROR: parsing qvinfo.xml, a qvdirfilter ", "contains a fileset that does not make sense: ",
                 text.GetText(), ", qvdirfilter=", snippet);
    }
    return whole;
}

// One record from one "qvdirfilter" element; null when the element is unusable.
QvHashTable* BuildRecord(const char* snippet, const QvString& smartValue, const FileSetIndex& fileSets,
                         RecordScratch& scratch) {
    QvString& folder = scratch.folder;
    QvString& whichFiles = scratch.whichFiles;
    if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "dir", &folder)) {
        LogParts(kParseErrorPrefix, "QvFile::GetUniqueStrAttrFromXmlSnippet NO dir ",
                 "in this qvdirfilter snippet: ", snippet);
        return nullptr;
    }
    if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "whichfiles", &whichFiles)) {
        LogParts(kParseErrorPrefix, "QvFile::GetUniqueStrAttrFromXmlSnippet NO whichfiles ",
                 "in this qvdirfilter snippet: ", snippet);
        return nullptr;
    }
    folder.MakeLower();
    const int32_t smartAt = whichFiles.Find(0, kSmartWatchWord);
    const QvString* list = &whichFiles;
    bool whole = HasBuffer(&folder) && HasBuffer(&whichFiles);
    if (whole && smartAt >= 0 && HasBuffer(&smartValue)) {
        SubstituteSmartWatch(whichFiles, smartAt, smartValue, &scratch.expanded);
        list = &scratch.expanded;
        whole = HasBuffer(list);
    } else if (smartAt >= 0) {
        whole = false;  // the list of sets to put in its place was lost
    }

    QvHashTable* record = whole ? QvInfoManager::NewWatchRecord() : nullptr;
    if (record == nullptr) {
        LogParts(kOutOfMemoryPrefix, "skipping this qvdirfilter snippet: ", snippet);
        return nullptr;
    }
    char mode = kWatchedMode;
    // The items of the list as SplitSettingList gives them without trimSingle, read in place:
    // with a comma, the trimmed fields; without one, the whole value untrimmed.
    const char* text = list->GetText();
    const bool trimmed = list->FindChar(0, ',') >= 0;
    int32_t position = 0, first = 0, length = 0;
    while (QvStringVector::NextCommaField(list, &position, &first, &length)) {
        int32_t last = first + length;
        while (trimmed && first < last && QvString::IsTrimmedByte(text[first]))
            first++;
        while (trimmed && last > first && QvString::IsTrimmedByte(text[last - 1]))
            last--;
        whole = ApplyItem(text + first, last - first, snippet, fileSets, record, &mode) && whole;
    }
    QvString& name = scratch.name;
    name.Set("");
    name.AppendChar(mode);
    name.Append(&folder);
    if (whole && name.GetLength() == folder.GetLength() + 1)
        record->SetName(name.GetText());
    if (!whole || record->GetName() == nullptr || strcmp(record->GetName(), name.GetText()) != 0) {
        // A record without all its keys or its name would watch the wrong files.
        QvInfoManager::ReleaseWatchRecord(record);
        LogParts(kOutOfMemoryPrefix, "skipping this qvdirfilter snippet: ", snippet);
        return nullptr;
    }
    return record;
}

struct RecordByLength {
    size_t nameLength;
    QvHashTable* record;
};

// The order of both sorts below: the longer name first.
int LongerFirst(size_t lengthA, size_t lengthB) { return lengthA > lengthB ? -1 : (lengthA < lengthB ? 1 : 0); }

int CompareLongestNameFirst(const void* a, const void* b) {
    return LongerFirst(static_cast<const RecordByLength*>(a)->nameLength,
                       static_cast<const RecordByLength*>(b)->nameLength);
}

size_t NameLength(const QvHashTable* record) {
    const char* name = record->GetName();
    return name != nullptr ? strlen(name) : 0;
}

int CompareRecordsLongestNameFirst(const void* a, const void* b) {
    return LongerFirst(NameLength(*static_cast<QvHashTable* const*>(a)),
                       NameLength(*static_cast<QvHashTable* const*>(b)));
}

// Longest name first; each name is measured once rather than at every comparison. Without
// memory for that the records are sorted in place, measuring the names as they are met.
void SortRecordsLongestNameFirst(QvHashTable** records, int32_t count) {
    if (count < 2)
        return;
    RecordByLength* order = static_cast<RecordByLength*>(QvPlatform::Malloc(sizeof(RecordByLength) * size_t(count)));
    if (order == nullptr) {
        qsort(records, size_t(count), sizeof(QvHashTable*), CompareRecordsLongestNameFirst);
        return;
    }
    for (int32_t i = 0; i < count; i++) {
        order[i].nameLength = NameLength(records[i]);
        order[i].record = records[i];
    }
    qsort(order, size_t(count), sizeof(RecordByLength), CompareLongestNameFirst);
    for (int32_t i = 0; i < count; i++)
        records[i] = order[i].record;
    QvPlatform::Free(order);
}

}  // namespace

namespace QvInfoManager {

QvHashTable* NewWatchRecord() {
    void* block = QvPlatform::Malloc(sizeof(QvHashTable));
    if (block == nullptr)
        return nullptr;
    QvHashTable* record = new (block) QvHashTable(kWatchRecordBuckets);
    if (!record->HasBuckets()) {
        ReleaseWatchRecord(record);
        return nullptr;
    }
    return record;
}

void ReleaseWatchRecord(QvHashTable* record) {
    if (record == nullptr)
        return;
    record->~QvHashTable();
    QvPlatform::Free(record);
}

void ReleaseWatchRecords(QvHashTable** records) {
    if (records == nullptr)
        return;
    for (int32_t i = 0; i < QV_INFO_MAX_NUM_DIR_FILTERS; i++) {
        ReleaseWatchRecord(records[i]);
        records[i] = nullptr;
    }
}

bool ParseQvInfoForFilesToWatch(QvHashTable** records, int32_t* count, QvHashTable* fileTypes) {
    const QvString* path = GetQvInfoXmlPath();
    if (count == nullptr)
        return false;
    *count = 0;
    if (records == nullptr)
        return false;
    ReleaseWatchRecords(records);
    if (fileTypes == nullptr)
        return false;

    QvString fileText;
    const QvString* text = QvFile::ReadFileToString(path->GetText(), &fileText) ? &fileText : nullptr;
    ReadExcludedFileTypes(text, path, fileTypes);

    // A few kilobytes of empty vectors: on the stack, so that the parse cannot fail here
    // once it has begun.
    FileSetIndex fileSets;
    QvInfoManagerInternal::ReadFileSetDefs(text, path, fileSets.sets, &fileSets.count);
    for (int32_t i = 0; i < fileSets.count; i++)
        fileSets.lengths[i] = fileSets.sets[i].GetAt(0) != nullptr ? fileSets.sets[i].GetAt(0)->GetLength() : -1;

    QvStringVector doBackups;
    if (!GetElements(text, "do_backup", kOutOfMemoryPrefix, &doBackups))
        LogParts(kParseErrorPrefix, "QvFile::GetAllXmlSnippetsWithTagNameInXmlFile NO top level dirs ",
                 "to watch in qvinfoFile: ", path->GetText());
    QvString smartValue;
    if (text == nullptr || !QvFile::GetUniqueStrAttrFromXmlSnippet(text->GetText(), kSmartWatchWord, &smartValue)) {
        LogParts(kParseErrorPrefix, "no smartwatchfilesets in qvinfo.xml file: ", path->GetText());
        smartValue.Set("");
    } else if (!HasBuffer(&smartValue)) {
        LogParts(kOutOfMemoryPrefix, "smartwatchfilesets not read");
    }

    int32_t stored = 0;
    QvStringVector dirFilters;
    RecordScratch scratch;
    for (int32_t b = 0; b < doBackups.GetCount(); b++) {
        if (stored > kMaxStoredRecords - 1) {
            LogParts("ERROR: parsing qvinfo.xml, found more than ", "QV_INFO_MAX_NUM_DIR_FILTERS=", "10000",
                     "qvdirfilters, so ignoring the rest - location A");
            break;
        }
        if (!GetElements(doBackups.GetAt(b), "qvdirfilter", kOutOfMemoryPrefix, &dirFilters)) {
            LogParts(kParseErrorPrefix, "QvFile::GetAllXmlSnippetsWithTagNameInXml found NO ",
                     " qvdirfilter in a do_backup block in file: ", path->GetText());
            continue;
        }
        for (int32_t f = 0; f < dirFilters.GetCount(); f++) {
            QvHashTable* record = BuildRecord(dirFilters.GetAt(f)->GetText(), smartValue, fileSets, scratch);
            if (record == nullptr)
                continue;
            records[stored++] = record;
            if (stored > kMaxStoredRecords - 1) {
                LogParts("ERROR: parsing qvinfo.xml, found more than ", "QV_INFO_MAX_NUM_DIR_FILTERS=", "10000",
                         " qvdirfilters, so ignoring the rest - location B");
                break;
            }
        }
    }

    SortRecordsLongestNameFirst(records, stored);
    *count = stored;
    return true;
}

}  // namespace QvInfoManager

namespace QvInfoManagerPrivate {
WarningRateLimiter& RateLimiter() {
    static WarningRateLimiter limiter;  // trivially destroyed
    return limiter;
}
}  // namespace QvInfoManagerPrivate
