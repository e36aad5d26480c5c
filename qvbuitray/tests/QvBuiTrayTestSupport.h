#pragma once
// Test support of the tray program's in-process tests. One environment per test process
// gives the tray an install directory (through the registry), a data directory (through
// the installer configuration), an interface-text file in English and French, a private
// temporary folder and a fake clock. The fixture starts each case from the state of a
// freshly started program and replaces the modal menu and the launcher by recorders.

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace QvBuiTrayTestEnv {
// The command line the tray gives qvbui.exe for an argument.
std::string ControlPanel(const std::string& argument);
// The host-information status file holding these attributes; "" removes the file.
void WriteHostInfo(const std::string& attributes);
void SetHideIcon(bool hidden);
// The settings file with this interface-language setting; "" removes the file.
void WriteLocaleSetting(const std::string& locale);
// The 32-byte send-logs record; status 0 removes it.
void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total);
// The messages (after time stamp and process id) of the log lines written since SetUp.
std::vector<std::string> ReadLogSinceMark();
// True while the shell knows the icon (window, 110): a no-op modify of it succeeds.
bool IsIconShown(HWND window);
// Takes pending quit messages off this thread's queue; true when there was one.
bool TakeQuitMessage(int* code);
void SetControlKeyHeld(bool held);  // what GetKeyState reads on this thread
std::string Utf8(const std::wstring& text);
}  // namespace QvBuiTrayTestEnv

// What the program would have shown (menus, as item ids and labels, "-" for the
// separator) and started (command lines).
struct QvBuiTrayMenuShow {
    HWND owner;
    UINT flags;
    std::vector<UINT> ids;
    std::vector<std::string> labels;
};
QvBuiTrayMenuShow DescribeMenu(HMENU menu, HWND owner, UINT flags);

namespace QvBuiTrayRecord {
extern int menuAnswer;  // what the next menus answer (command id, 0 = dismissed)
extern std::vector<QvBuiTrayMenuShow> menuShows;
extern std::vector<std::string> launches;
}  // namespace QvBuiTrayRecord

class QvBuiTrayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND mainWindow = nullptr;  // a hidden window standing in for the main window
};
