// QvTrayDriver: command-line front of QvTrayControl for scripts (the demo). Run it on
// the same Wine desktop as qvbuitray: windows are looked up per desktop.
//
//   QvTrayDriver wait-icon [ms]               0 the icon exists (within the time)
//   QvTrayDriver click right|left|double      0 posted, 1 no tray window
//   QvTrayDriver menu-wait [ms]               0 a popup menu is open, 1 none within the time
//   QvTrayDriver menu-choose-command ID       down keys then Enter to the open menu
//   QvTrayDriver menu-cancel                  Escape to the open menu
//   QvTrayDriver menu-rect                    print "x y width height" of the open menu
//   QvTrayDriver delete-icon                  remove the icon from outside, as a shell restart does,
//   QvTrayDriver taskbar-created              then broadcast "TaskbarCreated" as the new shell does
//   QvTrayDriver cursor X Y                   move the mouse pointer (the menu opens there)
// Exit code 2 means bad usage.
#include "QvTrayControl.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace QvTrayControl;

static int Result(bool ok, const char* what) {
    std::printf("%s: %s\n", what, ok ? "yes" : "no");
    return ok ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const std::wstring argument = argc > 2 ? argv[2] : L"";
    const DWORD waitMs = argc > 2 ? DWORD(wcstoul(argv[2], nullptr, 10)) : 10000;
    UINT click = argument == L"right" ? WM_RBUTTONDOWN
                 : argument == L"left" ? WM_LBUTTONDOWN
                 : argument == L"double" ? WM_LBUTTONDBLCLK
                                         : 0;
    RECT rect;
    HWND menu = FindOpenMenu();
    if (command == L"wait-icon")
        return Result(WaitForIcon(true, waitMs), "icon");
    if (command == L"click" && click)
        return Result(PostIconMouseMessage(WaitForTrayWindow(0), click), "click");
    if (command == L"menu-wait")
        return Result(WaitForMenu(waitMs) != nullptr, "menu");
    if (command == L"menu-choose-command")
        return Result(ChooseMenuCommand(menu, _wtoi(argument.c_str())), "menu-choose");
    if (command == L"menu-cancel")
        return Result(CancelMenu(menu), "menu-cancel");
    if (command == L"menu-rect") {
        if (!menu || !GetWindowRect(menu, &rect))
            return 1;
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    if (command == L"delete-icon")
        return Result(DeleteIcon(WaitForTrayWindow(0)), "delete-icon");
    if (command == L"taskbar-created")
        return Result(BroadcastTaskbarCreated(), "taskbar-created");
    if (command == L"cursor" && argc > 3)
        return Result(SetCursorPos(_wtoi(argv[2]), _wtoi(argv[3])) != FALSE, "cursor");
    std::fprintf(stderr, "usage: QvTrayDriver wait-icon [ms] | click right|left|double | menu-wait [ms] |\n"
                         "       menu-choose-command ID | menu-cancel | menu-rect | delete-icon |\n"
                         "       taskbar-created | cursor X Y\n");
    return 2;
}
