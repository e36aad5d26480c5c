// QvTrayDriver: command-line front of QvTrayControl for scripts (the demo). Run it on
// the same Wine desktop as qvbuitray: windows are looked up per desktop.
//
//   QvTrayDriver icon-exists                  0 icon present, 1 absent
//   QvTrayDriver click right|left|double      0 posted, 1 no tray window
//   QvTrayDriver menu-wait [ms]               0 a popup menu is open, 1 none within the time
//   QvTrayDriver menu-choose N                N down keys then Enter to the open menu
//   QvTrayDriver menu-choose-command ID [--no-updates] [--send-logs]
//   QvTrayDriver menu-cancel                  Escape to the open menu
//   QvTrayDriver taskbar-created              broadcast "TaskbarCreated"
//   QvTrayDriver delete-icon                  remove the icon from outside (a shell restart)
//   QvTrayDriver wait-window [ms]             0 the main window exists
//   QvTrayDriver wait-icon [ms]               0 the icon exists
//   QvTrayDriver wait-exit [ms]               0 the main window is gone
//   QvTrayDriver cursor X Y                   move the mouse pointer (the menu opens there)
//   QvTrayDriver menu-rect                    print "x y width height" of the open menu
// Exit code 2 means bad usage.
#include "QvTrayControl.h"

#include <cstdio>
#include <cwchar>
#include <cstdlib>

using namespace QvTrayControl;

namespace {

constexpr int kOk = 0;
constexpr int kNo = 1;
constexpr int kUsage = 2;
constexpr DWORD kDefaultWaitMs = 10000;

DWORD WaitArgument(int argc, wchar_t** argv) {
    return argc > 2 ? DWORD(wcstoul(argv[2], nullptr, 10)) : kDefaultWaitMs;
}

int Result(bool ok, const char* what) {
    std::printf("%s: %s\n", what, ok ? "yes" : "no");
    return ok ? kOk : kNo;
}

int Click(const wchar_t* which) {
    UINT mouseMessage = 0;
    if (wcscmp(which, L"right") == 0)
        mouseMessage = WM_RBUTTONDOWN;
    else if (wcscmp(which, L"left") == 0)
        mouseMessage = WM_LBUTTONDOWN;
    else if (wcscmp(which, L"double") == 0)
        mouseMessage = WM_LBUTTONDBLCLK;
    else
        return kUsage;
    std::vector<HWND> trayWindows = FindTrayWindows();
    if (trayWindows.empty())
        return Result(false, "click");
    return Result(PostIconMouseMessage(trayWindows.front(), mouseMessage), "click");
}

int ChooseCommand(int argc, wchar_t** argv) {
    if (argc < 3)
        return kUsage;
    bool updates = true;
    bool sendLogs = false;
    for (int i = 3; i < argc; ++i) {
        if (wcscmp(argv[i], L"--no-updates") == 0)
            updates = false;
        else if (wcscmp(argv[i], L"--send-logs") == 0)
            sendLogs = true;
        else
            return kUsage;
    }
    int presses = DownPressesForCommand(_wtoi(argv[2]), updates, sendLogs);
    if (presses == 0)
        return kUsage;
    return Result(ChooseMenuEntry(FindOpenMenu(), presses), "menu-choose");
}

int Usage() {
    std::fprintf(stderr,
                 "usage: QvTrayDriver icon-exists | click right|left|double | menu-wait [ms] |\n"
                 "       menu-choose N | menu-choose-command ID [--no-updates] [--send-logs] |\n"
                 "       menu-cancel | taskbar-created | delete-icon | wait-window [ms] |\n"
                 "       wait-icon [ms] | wait-exit [ms] | cursor X Y | menu-rect\n");
    return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const wchar_t* command = argv[1];
    if (wcscmp(command, L"icon-exists") == 0)
        return Result(AnyIconExists(), "icon");
    if (wcscmp(command, L"click") == 0)
        return argc > 2 ? Click(argv[2]) : Usage();
    if (wcscmp(command, L"menu-wait") == 0)
        return Result(WaitForMenu(WaitArgument(argc, argv)) != nullptr, "menu");
    if (wcscmp(command, L"menu-choose") == 0) {
        if (argc < 3 || _wtoi(argv[2]) <= 0)
            return Usage();
        return Result(ChooseMenuEntry(FindOpenMenu(), _wtoi(argv[2])), "menu-choose");
    }
    if (wcscmp(command, L"menu-choose-command") == 0) {
        int result = ChooseCommand(argc, argv);
        return result == kUsage ? Usage() : result;
    }
    if (wcscmp(command, L"menu-cancel") == 0)
        return Result(CancelMenu(FindOpenMenu()), "menu-cancel");
    if (wcscmp(command, L"taskbar-created") == 0)
        return Result(BroadcastTaskbarCreated(), "taskbar-created");
    if (wcscmp(command, L"delete-icon") == 0) {
        bool deleted = false;
        for (HWND window : FindTrayWindows())
            deleted = DeleteIcon(window) || deleted;
        return Result(deleted, "delete-icon");
    }
    if (wcscmp(command, L"wait-window") == 0)
        return Result(WaitForMainWindow(WaitArgument(argc, argv)) != nullptr, "window");
    if (wcscmp(command, L"wait-icon") == 0)
        return Result(WaitForIcon(true, WaitArgument(argc, argv)), "icon");
    if (wcscmp(command, L"wait-exit") == 0)
        return Result(WaitForMainWindowGone(WaitArgument(argc, argv)), "exited");
    if (wcscmp(command, L"cursor") == 0) {
        if (argc < 4)
            return Usage();
        return Result(SetCursorPos(_wtoi(argv[2]), _wtoi(argv[3])) != FALSE, "cursor");
    }
    if (wcscmp(command, L"menu-rect") == 0) {
        RECT rect;
        HWND menu = FindOpenMenu();
        if (!menu || !GetWindowRect(menu, &rect))
            return kNo;
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return kOk;
    }
    return Usage();
}
