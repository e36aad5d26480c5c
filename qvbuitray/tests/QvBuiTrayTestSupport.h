#pragma once
// In-process tests of the tray program. One environment per process provides an install
// directory (through the registry), a data directory, an English and French interface
// text, a private temporary folder and a fake clock. The fixture starts each case from
// the state of a freshly started program, with the modal menu and the launcher replaced
// by recorders.

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace QvBuiTrayTestEnv {
std::string ControlPanel(const std::string& argument);  // the command line for qvbui.exe
void WriteHostInfo(const std::string& attributes);      // "" removes the file
void SetHideIcon(bool hidden);
void WriteLocaleSetting(const std::string& locale);  // "" removes the settings file
void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total);  // status 0 removes it
std::vector<std::string> ReadLogSinceMark();  // messages of the lines written since SetUp
bool IsIconShown(HWND window);
bool TakeQuitMessage(int* code);  // true when a quit was pending on this thread
void SetControlKeyHeld(bool held);
std::string Utf8(const std::wstring& text);
}  // namespace QvBuiTrayTestEnv

// A menu the program would have shown: item ids and labels ("-" for the separator).
struct QvBuiTrayMenuShow {
    HWND owner;
    UINT flags;
    std::vector<UINT> ids;
    std::vector<std::string> labels;
};

namespace QvBuiTrayRecord {
extern int menuAnswer;  // what the next menus answer (command id, 0 = dismissed)
extern std::vector<QvBuiTrayMenuShow> menuShows;
extern std::vector<std::string> launches;  // command lines
}  // namespace QvBuiTrayRecord

class QvBuiTrayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND mainWindow = nullptr;  // a hidden window standing in for the main window
};
