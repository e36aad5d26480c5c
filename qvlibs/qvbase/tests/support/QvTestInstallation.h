#pragma once
// Test support: a client installation in a fresh folder, as the configuration readers find it: the
// install directory in the registry, "qvinstall.xml" in it, the temporary folder (and on POSIX the known
// folders) from the environment. The clock stands on 2024-03-15 (waits are counted, never slept), the
// host is "Build-Host.example.com", the modules start fresh and log under the data directory.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "QvTempDir.h"

class QvTestInstallation : public QvTempDirTest {
public:
    // The 32-byte send-logs record, little-endian: status at 0, units done at 8 and in total at 16,
    // the error code at 28; the spare bytes hold 0xbd.
    static std::string SendLogsRecord(uint32_t status, uint64_t done, uint64_t total, int32_t errorCode = 0);
    // Settings as the client writes them, complete enough that reading them logs nothing.
    static std::string QuietSettings(const std::string& locale = "default");
    // The interface text of key, read into a string preset to "sentinel".
    static std::string LookUp(const char* key);
    // GetSendLogsStatus's answer as "status percent% done/total error code", each output preset to
    // preset (so that an output left untouched shows it).
    static std::string SendLogsStatus(uint32_t preset);

protected:
    void SetUp() override;
    void TearDown() override;

    // The module state a fresh process starts with.
    static void ForgetModuleState();
    // Sets the registry value that names the install directory.
    static bool WriteInstallDirValue(const std::string& value);
    // Rewrites "qvinstall.xml" (no hguid attribute when empty) and forgets the cached directories.
    void WriteInstallConfig(const std::string& dataDirValue, const std::string& hguid = "");
    // The messages (stamp and process id cut off) written since the last call that begin with prefix.
    std::vector<std::string> TakeLog(const std::string& prefix = "");
    // Sets (null: unsets) an environment variable until the end of the test.
    void PutEnv(const std::string& name, const char* value);

    // The status files the client's other programs write.
    std::string HostInfoPath() const { return dataDir + "\\qvreports\\qvdc_synchostinfo.xml"; }
    std::string SendLogsPath() const { return tempDir + "\\qv_sendlogs_ststus.shm"; }

    std::string installDir, dataDir, tempDir;  // without a trailing separator
    std::string settingsPath;                  // dataDir + "\qvinfo.xml"

private:
    size_t logOffset = 0;
    bool hadInstallDir = false;
    std::string savedInstallDir;
    std::map<std::string, std::pair<bool, std::string>> savedEnv;  // name: was set, value
};
