// Fuzz target: the whole settings read on a fuzzed settings file. The input is written as
// qvinfo.xml into the data directory of a private temporary installation; the read must
// neither crash nor leak, and the record must hold only values the reader can produce:
// numbers within their ranges, index-aligned blocked-network lists, well-formed volumes
// without duplicates in mount-point order, a well-formed scratch volume, sorted folders.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzEnvironment.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"

namespace {

void Check(bool condition) {
    if (!condition)
        abort();
}

bool EndsWithSeparator(const char* text) {
    size_t n = strlen(text);
    return n > 0 && (text[n - 1] == '\\' || text[n - 1] == '/');
}

void CheckRecord(const ControlPanelSettings& settings) {
    Check(settings.numDaysWarnIfNoBackup >= 0 && settings.numDaysWarnIfNoBackup <= 7);
    Check(settings.numBackupThreads >= 1 && settings.numBackupThreads <= 200);
    Check(settings.blockedNetworkMacAddrs.GetCount() == settings.blockedNetworkNames.GetCount());
    for (int32_t i = 0; i < settings.blockedNetworkMacAddrs.GetCount(); ++i) {
        Check(settings.blockedNetworkMacAddrs.GetAt(i)->GetLength() >= 2);
        Check(settings.blockedNetworkNames.GetAt(i)->GetLength() >= 1);
    }
    Check(settings.onlineHostname.GetLength() > 0);
    Check(settings.qvLogin.GetLength() > 0);

    const QvVolumeInfoList& volumes = settings.volumes;
    for (int32_t i = 0; i < volumes.GetCount(); ++i) {
        const QvVolumeInfo* volume = volumes.GetAt(i);
        Check(strlen(volume->volumeGuid) == 28);
        Check(EndsWithSeparator(volume->GetMountPointText()));
        for (int32_t j = i + 1; j < volumes.GetCount(); ++j) {
            const QvVolumeInfo* other = volumes.GetAt(j);
            Check(strcmp(volume->volumeGuid, other->volumeGuid) != 0);
            Check(strcasecmp(volume->GetMountPointText(), other->GetMountPointText()) != 0);
        }
        if (i > 0) {
            QvVolumeInfo* const slots[] = {volumes.GetAt(i - 1), volumes.GetAt(i)};
            Check(QvVolumeInfoList::CompareByMountPoint(&slots[0], &slots[1]) <= 0);
        }
    }
    Check(strlen(settings.scratchVolume.volumeGuid) == 28 && settings.scratchVolume.volumeGuid[0] == 'v');
    Check(strlen(settings.scratchVolume.GetMountPointText()) > 0);
    for (int32_t i = 1; i < settings.excludedDirs.GetCount(); ++i)
        Check(QvStringVector::CompareNoCase(settings.excludedDirs.GetAt(i - 1), settings.excludedDirs.GetAt(i)) <= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 200000)
        return 0;
    QvFuzz::Environment& environment = QvFuzz::SetUpEnvironment();
    QvString path;
    QvFuzz::WriteInput(environment.dataDir, "qvinfo.xml", data, size, &path);
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    CheckRecord(QvInfoManager::GetControlPanelSettings());
    return 0;
}
