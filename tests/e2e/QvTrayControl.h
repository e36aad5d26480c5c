#pragma once
// Drives a running qvbuitray from another process, the way the shell and a user would:
// finds its windows, asks the shell whether its icon exists, posts icon callbacks and
// keys to its popup menu, and broadcasts "TaskbarCreated". Used by the whole-program
// tests and, through QvTrayDriver.exe, by the demo script. Every wait is bounded.
#include <windows.h>

#include <string>
#include <vector>

namespace QvTrayControl {

// The tray program's contract with the shell and with this tool.
constexpr const wchar_t* kMainWindowClass = L"QVBUITRAY";
constexpr const wchar_t* kMainWindowTitle = L"qvbuitray";
constexpr const wchar_t* kTrayWindowClass = L"VelbrookTrayWindow";
constexpr const wchar_t* kTrayWindowTitle = L"VelbrookTrayWindow";
constexpr const wchar_t* kMenuWindowClass = L"#32768";
constexpr UINT kIconId = 110;
constexpr UINT kIconCallbackMessage = WM_USER + 1;  // 1025
constexpr WPARAM kExitCommand = 105;

// Menu command ids in menu order, top to bottom (the separator before Quit is 2).
constexpr int kCommandControlPanel = 1;
constexpr int kCommandHelp = 3;
constexpr int kCommandCheckForUpdates = 4;
constexpr int kCommandInherit = 5;
constexpr int kCommandRestoreOptions = 6;
constexpr int kCommandAbout = 7;
constexpr int kCommandQuit = 8;

// Main window of the tray program, or null.
HWND FindMainWindow();
// Every tray window, newest first (each hide-and-show cycle of the icon adds one).
std::vector<HWND> FindTrayWindows();
// The visible popup menu window, or null.
HWND FindOpenMenu();

// True while the shell holds the icon (id 110) of this window: a modify without flags
// succeeds only for an existing icon and changes nothing.
bool IconExists(HWND trayWindow);
// True while any tray window has its icon.
bool AnyIconExists();
// Deletes the icon of this window, as a shell restart would. True when one was deleted.
bool DeleteIcon(HWND trayWindow);

// Posts the shell's icon callback for a mouse message (WM_RBUTTONDOWN, WM_LBUTTONDOWN,
// WM_LBUTTONDBLCLK) to the tray window.
bool PostIconMouseMessage(HWND trayWindow, UINT mouseMessage);
// Posts several icon callbacks so that they reach the tray window as one burst: the
// program's threads are held while they are posted, so no timer tick (which the queue
// delivers only when no posted message waits) can fall between them, however loaded the
// machine is. Falls back to plain posting when the threads cannot be held.
bool PostIconMouseMessageBurst(HWND trayWindow, const std::vector<UINT>& mouseMessages);
// Broadcasts the message the shell sends when the taskbar is (re)created.
bool BroadcastTaskbarCreated();

// Chooses a command of the freshly opened menu (Check for Updates shown, Send Logs not)
// with down keys (the first selects the first entry, the separator is skipped) and
// Enter. Keys are posted, not sent: the menu's modal loop reads them from its queue like
// real key strokes. False for an id not in that menu.
bool ChooseMenuCommand(HWND menu, int commandId);
// Closes the open menu without a choice.
bool CancelMenu(HWND menu);

// Polls every 25 ms until the condition holds or the time is up.
template <typename Condition>
bool WaitUntil(DWORD timeoutMs, Condition condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(25);
    }
}

HWND WaitForTrayWindow(DWORD timeoutMs);  // the newest
HWND WaitForMenu(DWORD timeoutMs);
bool WaitForIcon(bool present, DWORD timeoutMs);  // of any tray window

}  // namespace QvTrayControl
