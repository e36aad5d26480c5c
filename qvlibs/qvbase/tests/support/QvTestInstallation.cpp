// Test support: the client installation of the configuration-reader tests.
#include "QvTestInstallation.h"

#include "QvTestLog.h"
#include "QvTestSystem.h"
#include "QvTestHooks.h"
#include "files/QvPlatformFiles.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "QvTestPlatform.h"

namespace {

// 2024-03-15 10:00:00 UTC as file time: the log lines go to the file of day 15.
const uint64_t kStartFileTime = (1710496800000ULL + 11644473600000ULL) * 10000;
const int32_t kLogDay = 15;
const uint16_t kEnglishUnitedStates = 0x0409;
// The variables the readers take folders from, each set to a folder of the test.
const struct { const char* name; const char* folder; } kFolderVariables[] = {
    {"TMPDIR", "tmp"}, {"TMP", "tmp"}, {"TEMP", "tmp"},
    {"QV_PROGRAM_FILES", "ProgramFiles"}, {"QV_COMMON_APPDATA", "ProgramData"}};  // POSIX known folders
const char* const kVelbrookKey = "Software\\Velbrook";

}  // namespace

void QvTestInstallation::SetUp() {
    QvTempDirTest::SetUp();
    installDir = temp.MakeDir("install");
    dataDir = temp.MakeDir("data");
    tempDir = temp.MakeDir("tmp");
    settingsPath = dataDir + "\\qvinfo.xml";
    temp.MakeDir("data\\qvreports");
    ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.MakeDir("registry")));
    // Windows has one registry for the machine: its value is put back in TearDown.
    QvString machineValue;
    hadInstallDir = QvSystem::ReadRegistryString("HKLM/Software/Velbrook/installdir", &machineValue);
    savedInstallDir = machineValue.GetText();
    installDirRead = true;
    ASSERT_TRUE(QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, kVelbrookKey, "installdir",
                                                  installDir));
    WriteInstallConfig(dataDir);
    for (const auto& variable : kFolderVariables) {
        bool isSet = false;
        savedTempVariables.push_back(QvTestSystem::GetEnv(variable.name, &isSet));
        savedTempVariablesSet.push_back(isSet);
        ASSERT_TRUE(QvTestSystem::SetEnv(variable.name, temp.Join(variable.folder)));
    }
    ::QvFileTest::ResetTempDirCache();
    QvPlatformTest::SetFakeFileTime(kStartFileTime);
    QvSystemTest::ResetLocaleOverride();
    QvPlatformTest::SetFakeUiLanguage(kEnglishUnitedStates);
    QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
    QvPlatformTest::SetFakeHostName(true, "Build-Host.example.com");
    QvInfoManagerTest::ForgetShortHostName();
    QvInfoManagerTest::ResetWarningRateLimiter();
    QvUiUtilTest::ResetModule();
    QvLogTest::ForgetLastCleanupTime();
    SetLogDirectory(temp.MakeDir("data\\logs").c_str());
    QvPlatformTest::ResetSleepCounters();
}

void QvTestInstallation::TearDown() {
    QvUiUtilTest::ResetModule();
    SetLogDirectory(nullptr);
    if (installDirRead && hadInstallDir)
        QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, kVelbrookKey, "installdir",
                                          savedInstallDir);
    else if (installDirRead)
        QvTestSystem::DeleteRegistryValue(QvSystem::kRegistryRootLocalMachine, kVelbrookKey, "installdir");
    for (size_t i = 0; i < savedTempVariables.size(); ++i) {
        if (savedTempVariablesSet[i])
            QvTestSystem::SetEnv(kFolderVariables[i].name, savedTempVariables[i]);
        else
            QvTestSystem::UnsetEnv(kFolderVariables[i].name);
    }
    ::QvFileTest::ResetTempDirCache();
    QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
    QvPlatformTest::UseRealHostName();
    QvInfoManagerTest::ForgetShortHostName();
    QvPlatformTest::SetFakeUiLanguage(0);
    QvPlatformTest::FailKnownFolderQueries(false);
    QvSystemTest::ResetLocaleOverride();
    QvSystemTest::ResetDirectoryCaches();
    QvPlatformTest::UseRealClock();
}

void QvTestInstallation::WriteInstallConfig(const std::string& dataDirValue, const std::string& hguid) {
    std::string attributes = "datadir=\"" + dataDirValue + "\"";
    if (!hguid.empty())
        attributes += " hguid=\"" + hguid + "\"";
    temp.MakeFile("install\\qvinstall.xml", "<qvinstall " + attributes + " />\n");
    QvSystemTest::ResetDirectoryCaches();
}

std::vector<std::string> QvTestInstallation::TakeLog(const std::string& prefix) {
    QvString path;
    GetLogFilePath(kLogDay, &path);
    std::string content;
    if (!QvTestFs::ReadFile(path.GetText(), &content))
        return {};
    std::vector<std::string> messages = QvTestLog::Messages(content, logOffset, 0, prefix);
    logOffset = content.rfind('\n') + 1;
    return messages;
}
