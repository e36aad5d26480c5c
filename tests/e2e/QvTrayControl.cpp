// Outside view of a running qvbuitray: window look-ups, the shell's icon records and
// posted input. Nothing here needs the program's code, only its published names.
#include "QvTrayControl.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>

namespace QvTrayControl {

namespace {
// A window-enumeration callback must use the system's calling convention (stdcall on
// 32-bit Windows), which a lambda cannot be given.
BOOL CALLBACK CollectTrayWindow(HWND window, LPARAM context) {
    wchar_t className[64] = {0}, title[64] = {0};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 64);
    if (lstrcmpW(className, kTrayWindowClass) == 0 && lstrcmpW(title, kTrayWindowTitle) == 0)
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

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

// Suspends (hold) or resumes every thread of a process; the number of threads reached.
int HoldThreads(DWORD processId, bool hold) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int reached = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        if (HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
            reached += (hold ? SuspendThread(thread) : ResumeThread(thread)) != DWORD(-1) ? 1 : 0;
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return reached;
}
}  // namespace

HWND FindMainWindow() { return FindWindowW(kMainWindowClass, kMainWindowTitle); }

std::vector<HWND> FindTrayWindows() {
    // EnumWindows walks the z-order from the top, and a new window starts at the top.
    std::vector<HWND> windows;
    EnumWindows(CollectTrayWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindOpenMenu() {
    HWND menu = nullptr;
    do
        menu = FindWindowExW(nullptr, menu, kMenuWindowClass, nullptr);
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

bool PostIconMouseMessageBurst(HWND trayWindow, const std::vector<UINT>& mouseMessages) {
    DWORD processId = 0;
    if (!trayWindow || !GetWindowThreadProcessId(trayWindow, &processId))
        return false;
    bool held = HoldThreads(processId, true) > 0;
    bool posted = true;
    for (UINT message : mouseMessages)
        posted = PostIconMouseMessage(trayWindow, message) && posted;
    if (held)
        HoldThreads(processId, false);
    return posted;
}

bool BroadcastTaskbarCreated() {
    UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message != 0 && PostMessageW(HWND_BROADCAST, message, 0, 0);
}

bool ChooseMenuCommand(HWND menu, int commandId) {
    const int order[] = {kCommandControlPanel,   kCommandHelp,  kCommandCheckForUpdates, kCommandInherit,
                         kCommandRestoreOptions, kCommandAbout, kCommandQuit};
    const int entries = int(sizeof(order) / sizeof(order[0]));
    int presses = int(std::find(order, order + entries, commandId) - order) + 1;
    bool posted = menu && presses <= entries;
    for (int i = 0; posted && i < presses; ++i)
        posted = PostKey(menu, VK_DOWN);
    return posted && PostKey(menu, VK_RETURN);
}

bool CancelMenu(HWND menu) { return menu && PostKey(menu, VK_ESCAPE); }

HWND WaitForTrayWindow(DWORD timeoutMs) {
    HWND window = nullptr;
    WaitUntil(timeoutMs, [&] {
        std::vector<HWND> windows = FindTrayWindows();
        return (window = windows.empty() ? nullptr : windows.front()) != nullptr;
    });
    return window;
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
