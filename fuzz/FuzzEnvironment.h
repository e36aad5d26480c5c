#pragma once
// Shared by the fuzz targets: Check ends the run on a broken property; the file readers get a private
// installation (the seam's environment overrides) on the fake clock, so that retry waits cost nothing.
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

inline std::string Text(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

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
    for (const char* variable : {"QV_REGISTRY_ROOT", "QV_PROGRAM_FILES", "QV_COMMON_APPDATA", "TMPDIR"}) {
        std::string folder = environment.root + "/" + variable;
        mkdir(folder.c_str(), 0700);
        setenv(variable, folder.c_str(), 1);
    }
    QvPlatformTest::SetFakeFileTime(134116128000000000ull);  // 2026-01-01; every Sleep moves it
    QvSystem::GetInstallDir(&environment.installDir);
    QvSystem::GetDataDir(&environment.dataDir);
    QvFile::GetTempDir(&environment.tempDir);
    QvFile::CreateDirectoryTree(environment.installDir.GetText(), false);
    QvFile::CreateDirectoryTree(environment.dataDir.GetText(), false);
    return environment;
}

inline void WriteInput(const QvString& directory, const char* name, const uint8_t* data, size_t size) {
    QvString path(&directory);
    path.Append(name);
    Check(QvFile::WriteWholeFile(path.GetText(), data, static_cast<int32_t>(size)));
}

}  // namespace QvFuzz
