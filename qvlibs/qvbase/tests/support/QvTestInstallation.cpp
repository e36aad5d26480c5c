// Test support: the client installation of the configuration-reader tests.
#include "QvTestInstallation.h"

#include "QvTestCommon.h"
#include "QvTestLog.h"
#include "QvTestSystem.h"
#include "QvTestHooks.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvUiUtil.h"
#include "QvTestPlatform.h"

namespace {

// 2024-03-15 10:00:00 UTC as file time: the log lines go to the file of day 15.
const uint64_t kStartFileTime = (1710496800000ULL + 11644473600000ULL) * 10000;
const int32_t kLogDay = 15;
const char* const kVelbrookKey = "Software\\Velbrook";

}  // namespace

bool QvTestInstallation::WriteInstallDirValue(const std::string& value) {
    return QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, kVelbrookKey, "installdir", value);
}

void QvTestInstallation::ForgetModuleState() {
    QvUiUtilTest::ResetModule();
    ::QvFileTest::ResetTempDirCache();
    QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
    QvSystemTest::ForgetShortHostName();
    QvSystemTest::ResetLocaleOverride();
    QvSystemTest::ResetDirectoryCaches();
}

void QvTestInstallation::SetUp() {
    // Windows has one registry for the machine: its value is put back in TearDown.
    QvString machineValue;
    hadInstallDir = QvSystem::ReadRegistryString("HKLM/Software/Velbrook/installdir", &machineValue);
    savedInstallDir = machineValue.GetText();
    QvTempDirTest::SetUp();
    installDir = temp.MakeDir("install");
    dataDir = temp.MakeDir("data");
    tempDir = temp.MakeDir("tmp");
    settingsPath = dataDir + "\\qvinfo.xml";
    temp.MakeDir("data\\qvreports");
    ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.MakeDir("registry")));
    ASSERT_TRUE(WriteInstallDirValue(installDir));
    WriteInstallConfig(dataDir);
    for (const char* name : {"TMPDIR", "TMP", "TEMP"})
        PutEnv(name, tempDir.c_str());
    PutEnv("QV_PROGRAM_FILES", temp.Join("ProgramFiles").c_str());  // the POSIX known folders
    PutEnv("QV_COMMON_APPDATA", temp.Join("ProgramData").c_str());
    QvPlatformTest::SetFakeFileTime(kStartFileTime);
    QvPlatformTest::SetFakeUiLanguage(0x0409);  // English (United States)
    QvPlatformTest::SetFakeHostName(true, "Build-Host.example.com");
    ForgetModuleState();
    QvInfoManagerTest::ResetWarningRateLimiter();
    QvLogTest::ForgetLastCleanupTime();
    SetLogDirectory(temp.MakeDir("data\\logs").c_str());
    QvPlatformTest::ResetSleepCounters();
}

void QvTestInstallation::TearDown() {
    SetLogDirectory(nullptr);
    if (hadInstallDir)
        WriteInstallDirValue(savedInstallDir);
    else
        QvTestSystem::DeleteRegistryValue(QvSystem::kRegistryRootLocalMachine, kVelbrookKey, "installdir");
    for (const auto& variable : savedEnv)
        variable.second.first ? QvTestSystem::SetEnv(variable.first, variable.second.second)
                              : QvTestSystem::UnsetEnv(variable.first);
    ForgetModuleState();
    QvPlatformTest::UseRealHostName();
    QvPlatformTest::SetFakeUiLanguage(0);
    QvPlatformTest::FailKnownFolderQueries(false);
    QvPlatformTest::UseRealClock();
}

void QvTestInstallation::WriteInstallConfig(const std::string& dataDirValue, const std::string& hguid) {
    temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + dataDirValue + "\"" +
                                                (hguid.empty() ? "" : " hguid=\"" + hguid + "\"") + " />\n");
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

std::string QvTestInstallation::SendLogsRecord(uint32_t status, uint64_t done, uint64_t total, int32_t errorCode) {
    std::string bytes(32, char(0xbd));
    const struct { size_t offset, size; uint64_t value; } fields[] = {
        {0, 4, status}, {8, 8, done}, {16, 8, total}, {28, 4, uint32_t(errorCode)}};
    for (const auto& f : fields)
        for (size_t i = 0; i < f.size; ++i)
            bytes[f.offset + i] = char((f.value >> (8 * i)) & 0xff);
    return bytes;
}

std::string QvTestInstallation::QuietSettings(const std::string& locale) {
    return "<qvinfo qvui_locale=\"" + locale + "\" excludefiletypes=\".tmp\" smartwatchfilesets=\"Docs\">\n"
           "<filesetdef filesetname=\"Docs\" extensions=\"txt\" />\n"
           "<do_backup><qvdirfilter dir=\"C:\\Docs\\\" whichfiles=\"smartwatchfilesets\" /></do_backup>\n"
           "<qvvolume qvVolumeGuid=\"v00000000000000000000000000c\" mountPointPath=\"C:\\\" />\n</qvinfo>\n";
}

std::string QvTestInstallation::LookUp(const char* key) {
    QvString out("sentinel");
    GetUtf8InterfaceText(key, &out);
    return TextOf(out);
}

std::string QvTestInstallation::SendLogsStatus(uint32_t preset) {
    uint32_t percent = preset;
    uint64_t done = preset, total = preset;
    int32_t errorCode = int32_t(preset);
    QvSendLogsRunStatus status = QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode);
    return std::to_string(status) + " " + std::to_string(percent) + "% " + std::to_string(done) + "/" +
           std::to_string(total) + " error " + std::to_string(errorCode);
}

void QvTestInstallation::PutEnv(const std::string& name, const char* value) {
    if (!savedEnv.count(name)) {
        bool isSet = false;
        std::string old = QvTestSystem::GetEnv(name, &isSet);
        savedEnv[name] = {isSet, old};
    }
    value ? QvTestSystem::SetEnv(name, value) : QvTestSystem::UnsetEnv(name);
}
