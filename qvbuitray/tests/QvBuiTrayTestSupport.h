#pragma once
// Test support of the tray program's in-process tests. One environment per test process
// gives the tray an install directory (through the registry), a data directory (through
// the installer configuration), an interface-text file in English and French, a private
// temporary folder and a fake clock; the fixture base starts each case from the state of
// a freshly started program and replaces the menu and the launcher by recorders.

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace QvBuiTrayTestEnv {
// Both end in a backslash, as the program sees them.
const std::string& GetInstallDir();
const std::string& GetDataDir();

// The host-information status file: absent, or holding the given attributes text
// (for example "hide_icon=\"true\"").
void RemoveHostInfo();
void WriteHostInfo(const std::string& attributes);
void SetHideIcon(bool hidden);  // hide_icon="true" or the file removed
// The settings file with the given interface-language setting ("" removes the file).
void WriteLocaleSetting(const std::string& locale);
// The 32-byte send-logs record in the temporary folder; RemoveSendLogsRecord deletes it.
void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total, int32_t errorCode);
void RemoveSendLogsRecord();

// The messages (text after the time stamp and process id) of the log lines written since
// the last MarkLog.
void MarkLog();
std::vector<std::string> ReadLogSinceMark();
bool LogContains(const std::vector<std::string>& lines, const std::string& message);

// True while the shell knows the icon (window, 110): the no-op modify of the icon succeeds.
bool IsIconShown(HWND window);
// Takes a pending quit message off this thread's queue; true when there was one, with its code.
bool TakeQuitMessage(int* code);
// Holds or releases Ctrl in this thread's keyboard state (what GetKeyState reads).
void SetControlKeyHeld(bool held);
}  // namespace QvBuiTrayTestEnv

// Records what the program would have shown or started.
struct QvBuiTrayMenuShow {
    HWND owner;
    UINT flags;
    std::vector<UINT> ids;
    std::vector<std::wstring> texts;  // "" for the separator
};

// The stand-ins for the modal menu and the launcher, installed by the fixture.
namespace QvBuiTrayRecord {
extern int menuAnswer;  // what the next menus answer (command id, 0 = dismissed)
extern std::vector<QvBuiTrayMenuShow> menuShows;
extern std::vector<std::string> launches;  // command lines
extern bool launchResult;                  // what the launcher reports
}  // namespace QvBuiTrayRecord

class QvBuiTrayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A hidden window standing in for the main window.
    HWND mainWindow = nullptr;
};

// The items of a popup menu, as the recorder sees them.
QvBuiTrayMenuShow DescribeMenu(HMENU menu, HWND owner, UINT flags);
std::string Utf8(const std::wstring& text);
