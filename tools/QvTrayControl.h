#pragma once
// Drives a running qvbuitray from another process, as the shell and a user would: finds
// its windows, asks the shell whether its icon exists, posts icon callbacks and keys to
// its popup menu. Used by the whole-program tests, QvTrayDriver.exe and the tray benchmark.
// Every wait is bounded.
#include <windows.h>

#include <vector>

namespace QvTrayControl {

// The tray program's contract with the shell and with this tool.
constexpr const wchar_t* kMainWindowClass = L"QVBUITRAY";
constexpr const wchar_t* kMainWindowTitle = L"qvbuitray";
constexpr const wchar_t* kTrayWindowClass = L"VelbrookTrayWindow";  // also its title
constexpr UINT kIconId = 110;
constexpr UINT kIconCallbackMessage = WM_USER + 1;  // 1025
constexpr WPARAM kExitCommand = 105;
// Menu command ids in menu order, top to bottom (the separator before Quit is 2).
constexpr int kMenuOrder[] = {1, 3, 4, 5, 6, 7, 8};
constexpr int kCommandRestoreOptions = 6;
constexpr int kCommandQuit = 8;

HWND FindMainWindow();  // null when none
std::vector<HWND> FindTrayWindows();  // newest first (each hide-and-show cycle of the icon adds one)
HWND FindOpenMenu();  // the visible popup menu window, or null

// True while the shell holds the icon of this window: a modify without flags succeeds
// only for an existing icon and changes nothing.
bool IconExists(HWND trayWindow);
bool AnyIconExists();  // of any tray window
bool DeleteIcon(HWND trayWindow);  // as a shell restart would; true when one was deleted

// Posts the shell's icon callback for a mouse message to the tray window.
bool PostIconMouseMessage(HWND trayWindow, UINT mouseMessage);
bool BroadcastTaskbarCreated();  // as the shell does when the taskbar is (re)created

// Chooses a command of a fresh menu (Check for Updates shown, Send Logs not) with down
// keys and Enter, posted, not sent: the menu's modal loop reads them from its queue like
// real key strokes. False for an id not in that menu.
bool ChooseMenuCommand(HWND menu, int commandId);
bool CancelMenu(HWND menu);  // closes it without a choice

// Polls every 25 ms until the condition holds or the time is up.
template <typename Condition>
bool WaitUntil(DWORD timeoutMs, Condition condition) {
    for (DWORD start = GetTickCount(); !condition(); Sleep(25))
        if (GetTickCount() - start >= timeoutMs)
            return false;
    return true;
}

HWND WaitForTrayWindow(DWORD timeoutMs);  // the newest
HWND WaitForMenu(DWORD timeoutMs);
bool WaitForIcon(bool present, DWORD timeoutMs);  // of any tray window

}  // namespace QvTrayControl
