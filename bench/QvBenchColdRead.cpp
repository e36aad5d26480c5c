// The tray's first settings read, as a user waits for it: the first call into the library
// in a fresh process (no directory found yet, an empty heap, the log not yet opened), on a
// client installation with `folders` watched folders made by the same process just before.
// Prints the read's wall time in seconds; scripts/bench starts it several times and takes
// the median, since one process gives one sample.
//   QvBenchColdRead <folders>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "QvBenchData.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"

int main(int argc, char** argv) {
    const int folders = argc == 2 ? atoi(argv[1]) : 0;
    if (folders <= 0) {
        fprintf(stderr, "usage: QvBenchColdRead <folders>\n");
        return 2;
    }
    const std::string& root = QvBenchData::ClientInstallation();
    if (!QvBenchData::WriteFile(root + "/data/qvinfo.xml", QvBenchData::SettingsWithFolders(folders))) {
        fprintf(stderr, "QvBenchColdRead: cannot write the settings file under %s\n", root.c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    SetLogDirectory((root + "/data/logs").c_str());
    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int read = QvInfoManager::GetControlPanelSettings().excludedDirs.GetCount();
    if (read <= 0) {
        fprintf(stderr, "QvBenchColdRead: the read gave no settings\n");
        return 1;
    }
    printf("%.9f\n", seconds);
    return 0;
}
