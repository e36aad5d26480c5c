#pragma once
// In-process tests of the tray program: the client installation of QvTestInstallation
// with the interface text in English and French, the program's state as after a fresh
// start, and the modal menu and the launcher replaced by recorders.

#include <windows.h>

#include <string>
#include <vector>

#include "QvTestInstallation.h"

// A menu the program would have shown: item ids and labels ("-" for the separator).
struct QvBuiTrayMenuShow {
    HWND owner;
    std::vector<UINT> ids;
    std::vector<std::string> labels;
};

namespace QvBuiTrayRecord {
extern int menuAnswer;  // what the next menus answer (command id, 0 = dismissed)
extern std::vector<QvBuiTrayMenuShow> menuShows;
extern std::vector<std::string> launches;  // command lines
}  // namespace QvBuiTrayRecord

namespace QvBuiTrayTestEnv {
bool IsIconShown(HWND window);
bool TakeQuitMessage(int* code);  // true when a quit was pending on this thread
void SetControlKeyHeld(bool held);
}  // namespace QvBuiTrayTestEnv

class QvBuiTrayTest : public QvTestInstallation {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string ControlPanel(const std::string& argument) const;  // the command line for qvbui.exe
    void WriteHostInfo(const std::string& attributes);            // "" removes the file
    void SetHideIcon(bool hidden) { WriteHostInfo(hidden ? "hide_icon=\"true\"" : ""); }
    void WriteLocaleSetting(const std::string& locale);  // the whole settings file with this locale
    void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total);  // status 0 removes it

    HWND mainWindow = nullptr;  // a hidden window standing in for the main window
};
