// Outside view of a running qvbuitray: window look-ups, the shell's icon records and
// posted input. Nothing here needs the program's code, only its published names.
#include "QvTrayControl.h"

#include <shellapi.h>
#include <tlhelp32.h>

namespace QvTrayControl {

HWND FindMainWindow() {
    return FindWindowW(kMainWindowClass, kMainWindowTitle);
}

namespace {
// A window-enumeration callback must use the system's calling convention (stdcall on
// 32-bit Windows), which a lambda cannot be given.
BOOL CALLBACK CollectTrayWindow(HWND window, LPARAM context) {
    wchar_t className[64] = {0};
    wchar_t title[64] = {0};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 64);
    if (lstrcmpW(className, kTrayWindowClass) == 0 && lstrcmpW(title, kTrayWindowTitle) == 0)
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> FindTrayWindows() {
    // EnumWindows walks the z-order from the top, and a new window starts at the top.
    std::vector<HWND> windows;
    EnumWindows(CollectTrayWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindOpenMenu() {
    HWND menu = nullptr;
    while ((menu = FindWindowExW(nullptr, menu, kMenuWindowClass, nullptr)) != nullptr) {
        if (IsWindowVisible(menu))
            return menu;
    }
    return nullptr;
}

static NOTIFYICONDATAW IconRecord(HWND trayWindow) {
    NOTIFYICONDATAW record;
    ZeroMemory(&record, sizeof(record));
    record.cbSize = sizeof(record);
    record.hWnd = trayWindow;
    record.uID = kIconId;
    record.uFlags = 0;
    return record;
}

bool IconExists(HWND trayWindow) {
    if (!trayWindow)
        return false;
    NOTIFYICONDATAW record = IconRecord(trayWindow);
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

bool AnyIconExists() {
    for (HWND window : FindTrayWindows()) {
        if (IconExists(window))
            return true;
    }
    return false;
}

bool DeleteIcon(HWND trayWindow) {
    NOTIFYICONDATAW record = IconRecord(trayWindow);
    return Shell_NotifyIconW(NIM_DELETE, &record) != FALSE;
}

bool PostIconMouseMessage(HWND trayWindow, UINT mouseMessage) {
    return trayWindow && PostMessageW(trayWindow, kIconCallbackMessage, kIconId, mouseMessage);
}

namespace {
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

int DownPressesForCommand(int commandId, bool checkForUpdatesShown, bool sendLogsShown) {
    int presses = 0;
    const int order[] = {kCommandControlPanel, kCommandHelp,  kCommandCheckForUpdates, kCommandInherit,
                         kCommandRestoreOptions, kCommandSendLogs, kCommandAbout, kCommandQuit};
    for (int id : order) {
        if (id == kCommandCheckForUpdates && !checkForUpdatesShown)
            continue;
        if (id == kCommandSendLogs && !sendLogsShown)
            continue;
        ++presses;
        if (id == commandId)
            return presses;
    }
    return 0;
}

static bool PostKey(HWND window, WPARAM key) {
    return PostMessageW(window, WM_KEYDOWN, key, 1) && PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

bool ChooseMenuEntry(HWND menu, int downPresses) {
    if (!menu || downPresses <= 0)
        return false;
    for (int i = 0; i < downPresses; ++i) {
        if (!PostKey(menu, VK_DOWN))
            return false;
    }
    return PostKey(menu, VK_RETURN);
}

bool CancelMenu(HWND menu) {
    return menu && PostKey(menu, VK_ESCAPE);
}

HWND WaitForMainWindow(DWORD timeoutMs) {
    HWND window = nullptr;
    WaitUntil(timeoutMs, [&] { return (window = FindMainWindow()) != nullptr; });
    return window;
}

HWND WaitForTrayWindow(DWORD timeoutMs) {
    HWND window = nullptr;
    WaitUntil(timeoutMs, [&] {
        std::vector<HWND> windows = FindTrayWindows();
        window = windows.empty() ? nullptr : windows.front();
        return window != nullptr;
    });
    return window;
}

HWND WaitForMenu(DWORD timeoutMs) {
    HWND menu = nullptr;
    WaitUntil(timeoutMs, [&] { return (menu = FindOpenMenu()) != nullptr; });
    return menu;
}

bool WaitForMenuClosed(DWORD timeoutMs) {
    return WaitUntil(timeoutMs, [] { return FindOpenMenu() == nullptr; });
}

bool WaitForIcon(bool present, DWORD timeoutMs) {
    return WaitUntil(timeoutMs, [&] { return AnyIconExists() == present; });
}

bool WaitForMainWindowGone(DWORD timeoutMs) {
    return WaitUntil(timeoutMs, [] { return FindMainWindow() == nullptr; });
}

}  // namespace QvTrayControl
