#pragma once
// ControlPanelSettings: the user settings the tray program takes from the settings file
// "qvinfo.xml". One record exists for the whole process (QvInfoManager::GetControlPanelSettings);
// QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile resets and refills it.

#include <cstdint>

#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvVolumeInfo.h"
#include "qvbase/QvVolumeInfoList.h"

struct ControlPanelSettings {
    int32_t numDaysWarnIfNoBackup = 7;
    // Index-aligned: entry i of one list belongs to entry i of the other.
    QvStringVector blockedNetworkMacAddrs;
    QvStringVector blockedNetworkNames;
    QvString onlineHostname;
    QvString qvLogin;
    // Not reset by a read: an absent attribute keeps the value of an earlier read.
    QvString onlineHostnameUpdated;
    QvString excludeFileTypes;
    // Folders excluded as a whole, ASCII lower case, sorted ignoring case.
    QvStringVector excludedDirs;
    QvVolumeInfoList volumes;
    QvVolumeInfo scratchVolume;
    bool netAutoThrottle = true;
    int32_t numBackupThreads = 1;
};
