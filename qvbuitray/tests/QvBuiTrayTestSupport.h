#pragma once
// In-process tests of the tray program: the installation of QvTestInstallation with the
// interface text in English and French, the program's state as after a fresh start, and
// recorders in place of the modal menu and the launcher.

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "QvTestInstallation.h"

// A menu the program would have shown: its owner and items "1 Open Velbrook|3 Help|...|2 -|8 Quit".
struct QvBuiTrayMenuShow {
    HWND owner;
    std::string items;
};

class QvBuiTrayTest : public QvTestInstallation {
protected:
    void SetUp() override;
    void TearDown() override;

    static NOTIFYICONDATAW IconRecord(HWND window);  // names icon 110 of the window, nothing more
    static bool IsIconShown(HWND window);
    static int TakeQuitCode();  // the code of the quit pending on this thread (removed), -99 when none
    static void SetControlKeyHeld(bool held);
    std::string ControlPanel(const std::string& argument) const;  // the command line for qvbui.exe
    void WriteHostInfo(const std::string& attributes);            // "" removes the file
    void SetHideIcon(bool hidden) { WriteHostInfo(hidden ? "hide_icon=\"true\"" : ""); }
    void WriteLocaleSetting(const std::string& locale) { temp.MakeFile("data\\qvinfo.xml", QuietSettings(locale)); }
    void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total);  // status 0 removes it

    HWND mainWindow = nullptr;  // a hidden window standing in for the main window
    static int menuAnswer;      // what the next menus answer (command id, 0 = dismissed)
    static std::vector<QvBuiTrayMenuShow> menuShows;
    static std::vector<std::string> launches;  // command lines
};
