// The whole settings read (settings, volumes, file sets, watched folders) for 10, 1000 and
// 9999 watched folders, on a client installation in a scratch folder: the registry store,
// the known folders and the temporary directory of the POSIX backend all point there.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "QvBenchData.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"

namespace {

// The installation is made once per process, before the first settings read caches the
// directories.
const std::string& SettingsPath() {
    static std::string path;
    if (path.empty()) {
        const std::string root = QvBenchData::ScratchDir() + "/client";
        for (const char* folder : {"", "/registry", "/registry/HKEY_LOCAL_MACHINE",
                                   "/registry/HKEY_LOCAL_MACHINE/Software",
                                   "/registry/HKEY_LOCAL_MACHINE/Software/Velbrook", "/install", "/data",
                                   "/data/qvreports", "/data/logs", "/tmp"})
            mkdir((root + folder).c_str(), 0755);
        QvBenchData::WriteFile(root + "/registry/HKEY_LOCAL_MACHINE/Software/Velbrook/installdir",
                               root + "/install");
        QvBenchData::WriteFile(root + "/install/qvinstall.xml",
                               "<qvinstall datadir=\"" + root + "/data\" />\n");
        setenv("QV_REGISTRY_ROOT", (root + "/registry").c_str(), 1);
        setenv("QV_PROGRAM_FILES", root.c_str(), 1);
        setenv("QV_COMMON_APPDATA", root.c_str(), 1);
        setenv("TMPDIR", (root + "/tmp").c_str(), 1);
        SetLogDirectory((root + "/data/logs").c_str());
        path = root + "/data/qvinfo.xml";
    }
    return path;
}

void SettingsRead(benchmark::State& state) {
    const int folders = int(state.range(0));
    QvBenchData::WriteFile(SettingsPath(), QvBenchData::SettingsWithFolders(folders));
    for (auto _ : state) {
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        benchmark::DoNotOptimize(QvInfoManager::GetControlPanelSettings().excludedDirs.GetCount());
    }
    state.counters["folders"] = folders;
}

}  // namespace

BENCHMARK(SettingsRead)->Name("settings/read")->Arg(10)->Arg(1000)->Arg(9999)->Unit(benchmark::kMillisecond);
