// The settings reader: fills the process-wide ControlPanelSettings from "qvinfo.xml".
// Every single setting is the first occurrence of its attribute anywhere in the file's
// text; blocked networks and volumes are taken out element by element. Bad elements are
// logged with their full text and skipped, and the rest of the file is still read.
#include "qvbase/QvInfoManager.h"

#include <cstring>

#include "config/QvInfoManagerInternal.h"
#include "platform/QvPlatformClock.h"
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
const int32_t kVolumeGuidLength = 28;
const char* const kDefaultScratchMountPoint = "C:\\";
const char* const kDefaultScratchGuid = "v000000000000000000000000000";
const char* const kUnknownLogin = "unknown";

const char* const kVolumeErrorPrefix = "ERROR: ReadControlPanelSettingsFromQvInfoXmlF, ";
const char* const kBlockedNetworkErrorPrefix = "ERROR: ReadControlPanelSettingsFromQvInfoXmlFile - bad XML with ";

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
    for (int32_t attempt = 0; attempt < QvInfoManager::kReadAttempts; attempt++) {
        if (QvFile::ReadFileToString(path->GetText(), text))
            return true;
        QvPlatform::Sleep(QvInfoManager::kReadRetryWaitMillis);
    }
    return false;
}

void ReadBlockedNetworks(const QvString& text, ControlPanelSettings& settings) {
    QvStringVector snippets;
    QvFile::GetAllXmlSnippetsWithTagNameInXml(&text, "qvblocked_network", &snippets);
    QvString mac;
    QvString name;
    for (int32_t i = 0; i < snippets.GetCount(); i++) {
        const char* snippet = snippets.GetAt(i)->GetText();
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "blocked_network_mac_addr", &mac)) {
            LogParts(kBlockedNetworkErrorPrefix, "no blocked_network_mac_addr=", snippet);
            continue;
        }
        if (mac.GetLength() < kMinMacAddressLength) {
            LogParts(kBlockedNetworkErrorPrefix, "too short blocked_network_mac_addr=", snippet);
            continue;
        }
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "blocked_network_name", &name)) {
            LogParts(kBlockedNetworkErrorPrefix, "no blocked_network_name=", snippet);
            continue;
        }
        if (name.GetLength() < 1) {
            LogParts(kBlockedNetworkErrorPrefix, "too short blocked_network_name=", snippet);
            continue;
        }
        // Both lists get an entry or neither does: room is made in both before either
        // takes its entry. Running out of memory there drops both lists whole.
        QvStringVector& macs = settings.blockedNetworkMacAddrs;
        QvStringVector& names = settings.blockedNetworkNames;
        QvString* macCopy = new QvString(&mac);
        QvString* nameCopy = new QvString(&name);
        if (macCopy == nullptr || nameCopy == nullptr || !macs.EnsureCapacity(macs.GetCount() + 1) ||
            !names.EnsureCapacity(names.GetCount() + 1)) {
            delete macCopy;
            delete nameCopy;
            macs.Clear();
            names.Clear();
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
    if (records == nullptr)
        return;
    memset(records, 0, slotBytes);
    int32_t count = 0;
    QvHashTable fileTypes(QvInfoManager::kFileTypeTableBuckets);
    if (QvInfoManager::ParseQvInfoForFilesToWatch(records, &count, &fileTypes)) {
        for (int32_t i = 0; i < count; i++) {
            const char* name = records[i] != nullptr ? records[i]->GetName() : nullptr;
            if (name != nullptr && name[0] == 'x') {
                QvString* folder = new QvString(name + 1);
                if (folder != nullptr && !settings.excludedDirs.Add(folder))
                    delete folder;
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
    if (!QvFile::GetAllXmlSnippetsWithTagNameInXml(&text, "qvvolume", &snippets)) {
        LogParts(kVolumeErrorPrefix, "found no <qvvolume ... /> tags in qvinfo.xml which is bad.");
        return;
    }
    QvString guid;
    QvString mountPoint;
    for (int32_t i = 0; i < snippets.GetCount(); i++) {
        const char* snippet = snippets.GetAt(i)->GetText();
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "qvVolumeGuid", &guid)) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml no vGuid: ", snippet);
            continue;
        }
        if (guid.GetLength() != kVolumeGuidLength) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml bad vGuid: ", snippet);
            continue;
        }
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, "mountPointPath", &mountPoint)) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml no mnt: ", snippet);
            continue;
        }
        if (mountPoint.GetLength() < 1) {
            LogParts(kVolumeErrorPrefix, "bogus <qvvolume ... /> tag in qvinfo.xml bad mnt: ", snippet);
            continue;
        }
        char last = mountPoint.GetText()[mountPoint.GetLength() - 1];
        if (last != '/' && last != '\\')
            mountPoint.AppendChar('\\');
        QvVolumeInfo* volume = settings.volumes.AddNew();
        if (volume == nullptr)
            continue;
        volume->SetVolumeGuid(guid.GetText());
        volume->SetMountPointPath(mountPoint.GetText());
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
                !QvInfoManagerInternal::EqualsNoCase(first->GetMountPointText(), later->GetMountPointText())) {
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

    if (FindAttribute(text, "scratch_vol_guid", &value) && value.GetLength() == kVolumeGuidLength &&
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
    static ControlPanelSettings settings;
    return settings;
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
