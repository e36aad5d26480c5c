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
const char* const kTempVariables[] = {"TMPDIR", "TMP", "TEMP"};

}  // namespace

void QvTestInstallation::SetUp() {
    QvTempDirTest::SetUp();
    installDir = temp.MakeDir("install");
    dataDir = temp.MakeDir("data");
    tempDir = temp.MakeDir("tmp");
    settingsPath = dataDir + "\\qvinfo.xml";
    temp.MakeDir("data\\qvreports");
    ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.MakeDir("registry")));
    ASSERT_TRUE(QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook",
                                                  "installdir", installDir));
    WriteInstallConfig(dataDir);
    for (const char* name : kTempVariables) {
        bool isSet = false;
        savedTempVariables.push_back(QvTestSystem::GetEnv(name, &isSet));
        savedTempVariablesSet.push_back(isSet);
        ASSERT_TRUE(QvTestSystem::SetEnv(name, tempDir));
    }
    QvFileTest::ResetTempDirCache();
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
    for (size_t i = 0; i < savedTempVariables.size(); ++i) {
        if (savedTempVariablesSet[i])
            QvTestSystem::SetEnv(kTempVariables[i], savedTempVariables[i]);
        else
            QvTestSystem::UnsetEnv(kTempVariables[i]);
    }
    QvFileTest::ResetTempDirCache();
    QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
    QvPlatformTest::UseRealHostName();
    QvInfoManagerTest::ForgetShortHostName();
    QvPlatformTest::SetFakeUiLanguage(0);
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
