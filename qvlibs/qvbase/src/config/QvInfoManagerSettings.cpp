// The settings reader: fills the process-wide ControlPanelSettings from "qvinfo.xml".
// Every single setting is the first occurrence of its attribute anywhere in the file's
// text; blocked networks and volumes are taken out element by element. Bad elements are
// logged with their full text and skipped, and the rest of the file is still read.
#include "qvbase/QvInfoManager.h"

#include <cstring>

#include "config/QvInfoManagerInternal.h"
#include "foundation/QvUntilExit.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"

using QvInfoManagerInternal::LogParts;

namespace {

const int32_t kDefaultNumDaysWarn = 7;
const int32_t kMaxNumDaysWarn = 7;
const int32_t kDefaultBackupThreads = 1;
const int32_t kThrottledOrUnsetBackupThreads = 8;
const int32_t kMaxBackupThreads = 200;
const int32_t kMinMacAddressLength = 2;
const char* const kDefaultScratchMountPoint = "C:\\";
const char* const kDefaultScratchGuid = "v000000000000000000000000000";
const char* const kUnknownLogin = "unknown";

const char* const kVolumeErrorPrefix = "ERROR: ReadControlPanelSettingsFromQvInfoXmlF, ";
const char* const kBlockedNetworkErrorPrefix = "ERROR: ReadControlPanelSettingsFromQvInfoXmlFile - bad XML with ";
// Memory running out while the file is taken apart: what could not be kept is named.
const char* const kOutOfMemoryPrefix = "ERROR: ReadControlPanelSettingsFromQvInfoXmlFile - out of memory, ";

using QvInfoManagerInternal::GetElements;
using QvInfoManagerInternal::HasBuffer;

// A heap copy holding all of text, or null.
QvString* NewWholeCopy(const QvString& text) {
    QvString* copy = new QvString(&text);
    if (copy != nullptr && (!HasBuffer(copy) || copy->GetLength() != text.GetLength())) {
        delete copy;
        copy = nullptr;
    }
    return copy;
}

bool FindAttribute(const QvString& text, const char* name, QvString* value) {
    return QvFile::GetUniqueStrAttrFromXmlSnippet(text.GetText(), name, value);
}

void ResetSettings(ControlPanelSettings& settings) {
    settings.numDaysWarnIfNoBackup = kDefaultNumDaysWarn;
    settings.blockedNetworkMacAddrs.Clear();
    settings.blockedNetworkNames.Clear();
    GetShortHostName(&settings.onlineHostname);
    settings.qvLogin.Set(kUnknownLogin);
    settings.volumes.Clear();
    settings.scratchVolume.Reset();
    settings.excludeFileTypes.Set("");
    settings.excludedDirs.Clear();
    settings.netAutoThrottle = true;
    settings.numBackupThreads = kDefaultBackupThreads;
}

// Up to kReadAttempts reads, each failed one followed by a wait: the other programs of
// the client may be rewriting the file at this moment.
bool ReadSettingsText(const QvString* path, QvString* text) {
    const QvFile::QvReadRetry retry = {QvInfoManager::kReadAttempts, QvInfoManager::kReadRetryWaitMillis, true};
    return QvFile::ReadFileToStringRetrying(path->GetText(), text, retry, nullptr);
}

// Reads two attributes of an element; *found tells which the element holds. False, with
// a line naming the element, when a found attribute lost its text to a failed allocation.
bool ReadAttributePair(const char* snippet, const char* firstName, QvString* first, bool* firstFound,
                       const char* secondName, QvString* second, bool* secondFound, const char* skipping) {
    *firstFound = QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, firstName, first);
    *secondFound = QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, secondName, second);
    if ((*firstFound && !HasBuffer(first)) || (*secondFound && !HasBuffer(second))) {
        LogParts(kOutOfMemoryPrefix, skipping, snippet);
        return false;
    }
    return true;
}

void ReadBlockedNetworks(const QvString& text, ControlPanelSettings& settings) {
    QvStringVector snippets;
    GetElements(&text, "qvblocked_network", kOutOfMemoryPrefix, &snippets);
    if (snippets.GetCount() == 0)
        return;
    // Room for every entry in both lists first (a vector keeps one slot more than its
    // items): a list that fails to grow later would let go of the entries it holds.
    QvStringVector& macs = settings.blockedNetworkMacAddrs;
    QvStringVector& names = settings.blockedNetworkNames;
    if (!macs.EnsureCapacity(snippets.GetCount() + 1) || !names.EnsureCapacity(snippets.GetCount() + 1)) {
        macs.Clear();
        names.Clear();
        LogParts(kOutOfMemoryPrefix, "blocked networks not read");
        return;
    }
    QvString mac;
    QvString name;
    for (int32_t i = 0; i < snippets.GetCount(); i++) {
        const char* snippet = snippets.GetAt(i)->GetText();
        bool macFound = false;
        bool nameFound = false;
        if (!ReadAttributePair(snippet, "blocked_network_mac_addr", &mac, &macFound, "blocked_network_name", &name,
                               &nameFound, "skipping qvblocked_network="))
            continue;
        if (!macFound) {
            LogParts(kBlockedNetworkErrorPrefix, "no blocked_network_mac_addr=", snippet);
            continue;
        }
        if (mac.GetLength() < kMinMacAddressLength) {
            LogParts(kBlockedNetworkErrorPrefix, "too short blocked_network_mac_addr=", snippet);
            continue;
        }
        if (!nameFound) {
            LogParts(kBlockedNetworkErrorPrefix, "no blocked_network_name=", snippet);
            continue;
        }
        if (name.GetLength() < 1) {
            LogParts(kBlockedNetworkErrorPrefix, "too short blocked_network_name=", snippet);
            continue;
        }
        // Both lists get an entry or neither does; the room is already there.
        QvString* macCopy = NewWholeCopy(mac);
        QvString* nameCopy = NewWholeCopy(name);
        if (macCopy == nullptr || nameCopy == nullptr) {
            delete macCopy;
            delete nameCopy;
            LogParts(kOutOfMemoryPrefix, "skipping qvblocked_network=", snippet);
            continue;
        }
        macs.Add(macCopy);
        names.Add(nameCopy);
    }
}

void ReadSingleTextSettings(const QvString& text, ControlPanelSettings& settings) {
    QvString value;
    if (FindAttribute(text, "online_hostname", &value) && value.GetLength() > 0 &&
        strcmp(value.GetText(), "none") != 0)
        settings.onlineHostname.Set(&value);
    if (FindAttribute(text, "qvlogin", &value) && value.GetLength() > 0 && strcmp(value.GetText(), "none") != 0 &&
        strcmp(value.GetText(), kUnknownLogin) != 0)
        settings.qvLogin.Set(&value);
    if (FindAttribute(text, "online_hostname_updated", &value))
        settings.onlineHostnameUpdated.Set(&value);
    if (FindAttribute(text, "excludefiletypes", &value))
        settings.excludeFileTypes.Set(&value);
}

// Keeps the folders that the watched-folder records exclude as a whole.
void ReadExcludedDirs(ControlPanelSettings& settings) {
    settings.excludedDirs.Clear();
    size_t slotBytes = sizeof(QvHashTable*) * QV_INFO_MAX_NUM_DIR_FILTERS;
    QvHashTable** records = static_cast<QvHashTable**>(QvPlatform::Malloc(slotBytes));
    if (records == nullptr) {
        LogParts(kOutOfMemoryPrefix, "watched folders not read");
        return;
    }
    memset(records, 0, slotBytes);
    int32_t count = 0;
    QvHashTable fileTypes(QvInfoManager::kFileTypeTableBuckets);
    if (QvInfoManager::ParseQvInfoForFilesToWatch(records, &count, &fileTypes)) {
        int32_t excluded = 0;
        for (int32_t i = 0; i < count; i++) {
            const char* name = records[i] != nullptr ? records[i]->GetName() : nullptr;
            excluded += name != nullptr && name[0] == 'x' ? 1 : 0;
        }
        // Room for all first: a list that fails to grow lets go of what it holds.
        bool room = excluded == 0 || settings.excludedDirs.EnsureCapacity(excluded + 1);
        if (!room)
            LogParts(kOutOfMemoryPrefix, "excluded folders not read");
        for (int32_t i = 0; i < count; i++) {
            const char* name = records[i] != nullptr ? records[i]->GetName() : nullptr;
            if (room && name != nullptr && name[0] == 'x') {
                QvString* folder = new QvString(name + 1);
                if (folder == nullptr || !HasBuffer(folder) || !settings.excludedDirs.Add(folder)) {
                    delete folder;
                    LogParts(kOutOfMemoryPrefix, "skipping excluded folder=", name + 1);
                }
            }
            QvInfoManager::ReleaseWatchRecord(records[i]);
            records[i] = nullptr;
        }
        if (settings.excludedDirs.GetCount() > 1)
            settings.excludedDirs.SortNoCase();
    }
    QvInfoManager::ReleaseWatchRecords(records);
    QvPlatform::Free(records);
}

void ReadVolumes(const QvString& text, const QvString& hguid, ControlPanelSettings& settings) {
    settings.volumes.Clear();
    QvStringVector snippets;
    if (!GetElements(&text, "qvvolume", kOutOfMemoryPrefix, &snippets)) {
        LogParts(kVolumeErrorPrefix, "found no <qvvolume ... /> tags in qvinfo.xml which is bad.");
        return;
    }
    // Records for every element first: a list that fails to grow lets go of its records.
    if (!settings.volumes.Reserve(snippets.GetCount())) {
        LogParts(kOutOfMemoryPrefix, "qvvolume elements not read");
        return;
    }
    QvString guid;
    QvString mountPoint;
    for (int32_t i = 0; i < snippets.GetCount(); i++) {
        const char* snippet = snippets.GetAt(i)->GetText();
        bool guidFound = false;
        bool mountPointFound = false;
        if (!ReadAttributePair(snippet, "qvVolumeGuid", &guid, &guidFound, "mountPointPath", &mountPoint,
                               &mountPointFound, "skipping qvvolume="))
            continue;
        if (!guidFound) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml no vGuid: ", snippet);
            continue;
        }
        if (guid.GetLength() != QvVolumeInfo::kVolumeGuidLength) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml bad vGuid: ", snippet);
            continue;
        }
        if (!mountPointFound) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml no mnt: ", snippet);
            continue;
        }
        if (mountPoint.GetLength() < 1) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml bad mnt: ", snippet);
            continue;
        }
        char last = mountPoint.GetText()[mountPoint.GetLength() - 1];
        if (!QvFile::IsPathSeparator(last))
            mountPoint.AppendChar('\\');
        QvVolumeInfo* volume = settings.volumes.AddNew();  // never grows: reserved above
        if (volume != nullptr)
            volume->SetMountPointPath(mountPoint.GetText());
        if (volume == nullptr || !HasBuffer(&mountPoint) ||
            strcmp(volume->GetMountPointText(), mountPoint.GetText()) != 0) {
            if (volume != nullptr)
                settings.volumes.RemoveAt(settings.volumes.GetCount() - 1);
            LogParts(kOutOfMemoryPrefix, "skipping qvvolume=", snippet);
            continue;
        }
        volume->SetVolumeGuid(guid.GetText());
        volume->SetTypeCode(QvVolumeInfo::kSettingsTypeCode);
        volume->fromSettings = true;
        volume->SetHguid(hguid.GetText());
    }
}

// The first volume of each group with the same GUID or the same path (ASCII case
// ignored) stays; the later ones are logged and removed. Volume lists are a handful of
// entries, so the pairwise comparison costs nothing worth indexing for.
void RemoveDuplicateVolumes(QvVolumeInfoList& volumes) {
    for (int32_t i = 0; i < volumes.GetCount(); i++) {
        for (int32_t j = i + 1; j < volumes.GetCount();) {
            const QvVolumeInfo* first = volumes.GetAt(i);
            const QvVolumeInfo* later = volumes.GetAt(j);
            if (strcmp(first->volumeGuid, later->volumeGuid) != 0 &&
                !QvString::EqualsNoCase(first->GetMountPointText(), later->GetMountPointText())) {
                j++;
                continue;
            }
            LogParts("ERROR: QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile - removing dup qvvolume qvVolGuid=",
                     first->volumeGuid, ", mountPoint=", first->GetMountPointText());
            volumes.RemoveAt(j);
        }
    }
}

void ReadScratchVolume(const QvString& text, QvVolumeInfo& scratch) {
    QvString value;
    FindAttribute(text, "scratch_mountpoint", &value);
    if (value.GetLength() < 1) {
        // The drive root of the data directory, when it lies on a drive letter.
        QvString dataDir;
        QvSystem::GetDataDir(&dataDir);
        const char* dir = dataDir.GetText();
        if (dataDir.GetLength() >= 3 && dir[1] == ':' && dir[2] == '\\')
            value.Set(dir, 3);
        else
            value.Set(kDefaultScratchMountPoint);
    }
    scratch.SetMountPointPath(value.GetText());

    if (FindAttribute(text, "scratch_vol_guid", &value) && value.GetLength() == QvVolumeInfo::kVolumeGuidLength &&
        value.GetText()[0] == 'v')
        scratch.SetVolumeGuid(value.GetText());
    else
        scratch.SetVolumeGuid(kDefaultScratchGuid);
}

void ReadThrottleAndThreads(const QvString& text, ControlPanelSettings& settings) {
    QvString value;
    if (!FindAttribute(text, "net_auto_throttle", &value))
        value.Set("false");
    char first = value.GetText()[0];
    settings.netAutoThrottle = first == 't' || first == 'T';

    if (!FindAttribute(text, "num_backup_threads", &value))
        return;
    if (strcmp(value.GetText(), "none") == 0 || value.GetLength() < 1 || settings.netAutoThrottle) {
        settings.numBackupThreads = kThrottledOrUnsetBackupThreads;
        return;
    }
    int32_t threads = value.ToInt(kDefaultBackupThreads);
    settings.numBackupThreads = threads >= 1 && threads <= kMaxBackupThreads ? threads : kThrottledOrUnsetBackupThreads;
}

}  // namespace

namespace QvInfoManager {

ControlPanelSettings& GetControlPanelSettings() {
    static QvUntilExit<ControlPanelSettings> settings;
    return *settings;
}

void ReadControlPanelSettingsFromQvInfoXmlFile() {
    const QvString* path = GetQvInfoXmlPath();
    QvString hguid;
    QvSystem::GetHguid(&hguid);
    ControlPanelSettings& settings = GetControlPanelSettings();
    ResetSettings(settings);

    if (!QvFile::FileExists(path)) {
        LogParts("WARNING: qvinfo.xml file does not exist here=", path->GetText(),
                 ", which is normal in the installer, but bad any other time.");
        return;
    }
    QvString text;
    if (!ReadSettingsText(path, &text)) {
        LogParts("ERROR: could not read qvinfo.xml file from disk 1: ", path->GetText());
        return;
    }

    QvString value;
    if (FindAttribute(text, "numdays_warn_if_no_backup", &value)) {
        int32_t days = value.ToInt(kDefaultNumDaysWarn);
        settings.numDaysWarnIfNoBackup = days < 0 || days > kMaxNumDaysWarn ? kDefaultNumDaysWarn : days;
    }
    ReadBlockedNetworks(text, settings);
    ReadSingleTextSettings(text, settings);
    ReadExcludedDirs(settings);
    ReadVolumes(text, hguid, settings);
    RemoveDuplicateVolumes(settings.volumes);
    settings.volumes.SortByMountPoint();
    ReadScratchVolume(text, settings.scratchVolume);
    ReadThrottleAndThreads(text, settings);
}

}  // namespace QvInfoManager
