// Entry point of qvbuitray: opens the log, refuses to run twice on one desktop, creates
// the hidden main window with its 150 ms timer and runs the message loop. The icon is
// added by the first timer tick, not here.
#include <windows.h>

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayIcon.h"
#include "QvBuiTrayMainWindow.h"
#include "QvBuiTrayState.h"
#include "QvBuiTraySystemLibrary.h"
#include "QvBuiTrayWndProc.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "resource.h"

using namespace QvBuiTray;

int WINAPI wWinMain(HINSTANCE instanceHandle, HINSTANCE previousInstance, PWSTR commandLine, int showCommand) {
    // The program takes no options.
    (void)previousInstance;
    (void)commandLine;
    (void)showCommand;

    // Before anything can load a library: the known-folder query of the data directory
    // below already makes the shell load some.
    RestrictQvBuiLibrarySearch();
    instance = instanceHandle;

    QvString logDirectory;
    QvSystem::GetDataDir(&logDirectory);
    logDirectory.Append(QVBUITRAY_LOG_FOLDER "\\" QVBUITRAY_LOG_NAME);
    SetLogDirectory(logDirectory.GetText());
    WriteLogText(QVBUITRAY_LOG_START_SPACER);
    WriteLogText(QVBUITRAY_LOG_STARTING QVBUITRAY_VERSION_TEXT);

    LoadStringW(instance, IDS_APP_TITLE, title, kQvBuiTrayResourceTextUnits);
    LoadStringW(instance, IDC_QVBUITRAY, windowClass, kQvBuiTrayResourceTextUnits);

    if (FindWindowW(windowClass, title)) {
        WriteLogText(QVBUITRAY_LOG_OTHER_INSTANCE);
        return kQvBuiTrayExitOtherInstance;
    }

    RegisterQvBuiMainWindowClass();
    trayWindowProcedure = QvBuiTrayWndProc;
    ResolveQvBuiOptionalEntryPoints();

    HWND mainWindow = CreateQvBuiMainWindow();
    if (!mainWindow)
        return kQvBuiTrayExitNoMainWindow;
    ShowWindow(mainWindow, SW_HIDE);
    UpdateWindow(mainWindow);

    timerId = SetTimer(mainWindow, kQvBuiTrayTimerIdArgument, kQvBuiTrayTimerPeriodMillis, nullptr);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_QVBUITRAY));

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    if (trayIconData.cbSize != 0)
        RemoveQvBuiIconFromSystemTray();
    WriteLogText(QVBUITRAY_LOG_END);
    return static_cast<int>(message.wParam);
}
