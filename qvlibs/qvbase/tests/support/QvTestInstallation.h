#pragma once
// Test support: a client installation in a fresh temporary folder, as the configuration
// readers find it. The install directory comes from the registry, the data directory and
// host identifier from "qvinstall.xml" in it, the temporary directory (and on POSIX the
// known folders "ProgramFiles" and "ProgramData") from the environment. The machine's own
// install-directory value is put back afterwards. The clock stands still on 2024-03-15
// (waits are counted, never slept), the host name is "Build-Host.example.com", and the
// settings, text and status modules start as in a fresh process. The log goes under the
// data directory; TakeLog reads it.

#include <string>
#include <vector>

#include "QvTempDir.h"

class QvTestInstallation : public QvTempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Rewrites "qvinstall.xml" and forgets the cached directories (the cached settings
    // path stays). An empty hguid leaves the attribute out.
    void WriteInstallConfig(const std::string& dataDirValue, const std::string& hguid = "");
    // The messages (time stamp and process id cut off) written since the last call, only
    // those that begin with prefix.
    std::vector<std::string> TakeLog(const std::string& prefix = "");

    std::string installDir;
    std::string dataDir;      // without a trailing separator
    std::string tempDir;      // without a trailing separator
    std::string settingsPath; // dataDir + "\qvinfo.xml"

private:
    size_t logOffset = 0;
    bool installDirRead = false, hadInstallDir = false;
    std::string savedInstallDir;
    std::vector<std::string> savedTempVariables;
    std::vector<bool> savedTempVariablesSet;
};
