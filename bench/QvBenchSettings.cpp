// The whole settings read (settings, volumes, file sets, watched folders) for 10, 1000 and
// 9999 watched folders, on a client installation in a scratch folder: the registry store,
// the known folders and the temporary directory of the POSIX backend all point there.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "QvBenchData.h"
#include "QvBenchPaired.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"

namespace {

// One read for each size in turns (QvBenchPaired.h), each from a settings file of its own.
void SettingsRead(benchmark::State& state) {
    const std::string& root = QvBenchData::ClientInstallation();
    const std::string path = root + "/data/qvinfo.xml";
    SetLogDirectory((root + "/data/logs").c_str());
    std::vector<QvBenchPaired::Contender> reads;
    for (int folders : {10, 1000, 9999}) {
        // Each size has a file of its own beside the settings file, renamed into its place
        // for the read and back after it.
        const std::string own = path + "." + std::to_string(folders);
        QvBenchData::WriteFile(own, QvBenchData::SettingsWithFolders(folders));
        reads.push_back({std::to_string(folders), [&path, own] {
                             rename(own.c_str(), path.c_str());
                             QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
                             benchmark::DoNotOptimize(QvInfoManager::GetControlPanelSettings().excludedDirs.GetCount());
                             rename(path.c_str(), own.c_str());
                         }});
    }
    QvBenchPaired::RunGroup(state, 1, reads);
}

}  // namespace

BENCHMARK(SettingsRead)->Name("settings/read")->Unit(benchmark::kMillisecond);
