#pragma once
// Shared by the fuzz targets: Check, which ends the run on a broken property, and for the
// targets that read files a private temporary folder that the seam's environment overrides
// point at (registry store, program files, common application data, temporary directory),
// with the fake clock, so that the readers' retry waits cost nothing.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "qvbase/QvFile.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "QvTestPlatform.h"

inline void Check(bool condition) {
    if (!condition)
        abort();
}

namespace QvFuzz {

struct Environment {
    std::string root;  // the temporary folder, POSIX form
    QvString installDir, dataDir, tempDir;  // library form, ending in a backslash
};

inline Environment& SetUpEnvironment() {
    static Environment environment;
    if (!environment.root.empty())
        return environment;
    char pattern[] = "/tmp/qvfuzz.XXXXXX";
    Check(mkdtemp(pattern) != nullptr);
    environment.root = pattern;
    std::atexit([] { std::filesystem::remove_all(SetUpEnvironment().root); });
    for (const char* folder : {"registry", "programs", "appdata", "temp"})
        mkdir((environment.root + "/" + folder).c_str(), 0700);
    setenv("QV_REGISTRY_ROOT", (environment.root + "/registry").c_str(), 1);
    setenv("QV_PROGRAM_FILES", (environment.root + "/programs").c_str(), 1);
    setenv("QV_COMMON_APPDATA", (environment.root + "/appdata").c_str(), 1);
    setenv("TMPDIR", (environment.root + "/temp").c_str(), 1);
    // 2026-01-01 in file-time ticks; every Sleep just moves this clock.
    QvPlatformTest::SetFakeFileTime(134116128000000000ull);
    QvSystem::GetInstallDir(&environment.installDir);
    QvSystem::GetDataDir(&environment.dataDir);
    QvFile::GetTempDir(&environment.tempDir);
    QvFile::CreateDirectoryTree(environment.installDir.GetText(), false);
    QvFile::CreateDirectoryTree(environment.dataDir.GetText(), false);
    return environment;
}

// Writes the bytes to directory + name (library path form).
inline void WriteInput(const QvString& directory, const char* name, const uint8_t* data, size_t size) {
    QvString path(&directory);
    path.Append(name);
    Check(QvFile::WriteWholeFile(path.GetText(), data, static_cast<int32_t>(size)));
}

}  // namespace QvFuzz
