// Outside view of a running qvbuitray: window look-ups, the shell's icon records and
// posted input. Nothing here needs the program's code, only its published names.
#include "QvTrayControl.h"

#include <shellapi.h>

#include <algorithm>

namespace QvTrayControl {

namespace {
// The shell's answer to an action on the record that names only the icon (window and id).
bool NotifyIcon(DWORD action, HWND trayWindow) {
    NOTIFYICONDATAW record = {};
    record.cbSize = sizeof(record);
    record.hWnd = trayWindow;
    record.uID = kIconId;
    return trayWindow && Shell_NotifyIconW(action, &record) != FALSE;
}

bool PostKey(HWND window, WPARAM key) {
    return PostMessageW(window, WM_KEYDOWN, key, 1) && PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}
}  // namespace

HWND FindMainWindow() { return FindWindowW(kMainWindowClass, kMainWindowTitle); }

std::vector<HWND> FindTrayWindows() {
    // Top-level windows are searched in z-order from the top, where a new window starts.
    std::vector<HWND> windows;
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, kTrayWindowClass, kTrayWindowClass));)
        windows.push_back(window);
    return windows;
}

HWND FindOpenMenu() {
    HWND menu = nullptr;
    do
        menu = FindWindowExW(nullptr, menu, L"#32768", nullptr);
    while (menu && !IsWindowVisible(menu));
    return menu;
}

bool IconExists(HWND trayWindow) { return NotifyIcon(NIM_MODIFY, trayWindow); }

bool AnyIconExists() {
    std::vector<HWND> windows = FindTrayWindows();
    return std::any_of(windows.begin(), windows.end(), IconExists);
}

bool DeleteIcon(HWND trayWindow) { return NotifyIcon(NIM_DELETE, trayWindow); }

bool PostIconMouseMessage(HWND trayWindow, UINT mouseMessage) {
    return trayWindow && PostMessageW(trayWindow, kIconCallbackMessage, kIconId, mouseMessage);
}

bool BroadcastTaskbarCreated() {
    UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message != 0 && PostMessageW(HWND_BROADCAST, message, 0, 0);
}

bool ChooseMenuCommand(HWND menu, int commandId) {
    // One down key per entry up to the command's: the first selects the first entry.
    const int* command = std::find(std::begin(kMenuOrder), std::end(kMenuOrder), commandId);
    bool posted = menu && command != std::end(kMenuOrder);
    for (const int* entry = kMenuOrder; posted && entry <= command; ++entry)
        posted = PostKey(menu, VK_DOWN);
    return posted && PostKey(menu, VK_RETURN);
}

bool CancelMenu(HWND menu) { return menu && PostKey(menu, VK_ESCAPE); }

HWND WaitForTrayWindow(DWORD timeoutMs) {
    std::vector<HWND> windows;
    WaitUntil(timeoutMs, [&] { return !(windows = FindTrayWindows()).empty(); });
    return windows.empty() ? nullptr : windows.front();
}

HWND WaitForMenu(DWORD timeoutMs) {
    HWND menu = nullptr;
    WaitUntil(timeoutMs, [&] { return (menu = FindOpenMenu()) != nullptr; });
    return menu;
}

bool WaitForIcon(bool present, DWORD timeoutMs) {
    return WaitUntil(timeoutMs, [&] { return AnyIconExists() == present; });
}

}  // namespace QvTrayControl
