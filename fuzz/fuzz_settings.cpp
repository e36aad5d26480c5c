// Fuzz target: the whole settings read on a fuzzed qvinfo.xml. No crash or leak, and the record holds
// only values the reader can produce.
#include <cstring>
#include <strings.h>

#include "FuzzEnvironment.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 200000)
        return 0;
    QvFuzz::WriteInput(QvFuzz::SetUpEnvironment().dataDir, "qvinfo.xml", data, size);
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
    Check(s.numDaysWarnIfNoBackup >= 0 && s.numDaysWarnIfNoBackup <= 7);
    Check(s.numBackupThreads >= 1 && s.numBackupThreads <= 200);
    Check(s.blockedNetworkMacAddrs.GetCount() == s.blockedNetworkNames.GetCount());
    for (int32_t i = 0; i < s.blockedNetworkMacAddrs.GetCount(); ++i)
        Check(s.blockedNetworkMacAddrs.GetAt(i)->GetLength() >= 2 && s.blockedNetworkNames.GetAt(i)->GetLength() >= 1);
    Check(s.onlineHostname.GetLength() > 0 && s.qvLogin.GetLength() > 0);
    for (int32_t i = 0; i < s.volumes.GetCount(); ++i) {
        const QvVolumeInfo* volume = s.volumes.GetAt(i);
        const char* mountPoint = volume->GetMountPointText();
        size_t length = strlen(mountPoint);
        Check(strlen(volume->volumeGuid) == 28 && length > 0 &&
              (mountPoint[length - 1] == '\\' || mountPoint[length - 1] == '/'));
        for (int32_t j = i + 1; j < s.volumes.GetCount(); ++j)
            Check(strcmp(volume->volumeGuid, s.volumes.GetAt(j)->volumeGuid) != 0 &&
                  strcasecmp(mountPoint, s.volumes.GetAt(j)->GetMountPointText()) != 0);
        QvVolumeInfo* const slots[] = {s.volumes.GetAt(i > 0 ? i - 1 : 0), s.volumes.GetAt(i)};
        Check(QvVolumeInfoList::CompareByMountPoint(&slots[0], &slots[1]) <= 0);
    }
    Check(strlen(s.scratchVolume.volumeGuid) == 28 && s.scratchVolume.volumeGuid[0] == 'v' &&
          strlen(s.scratchVolume.GetMountPointText()) > 0);
    for (int32_t i = 1; i < s.excludedDirs.GetCount(); ++i)
        Check(QvStringVector::CompareNoCase(s.excludedDirs.GetAt(i - 1), s.excludedDirs.GetAt(i)) <= 0);
    return 0;
}
