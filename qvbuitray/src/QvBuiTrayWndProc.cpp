// The tray window's message handler and the timer tick. A left press on the icon only
// marks a pending click: the menu opens on the second tick after it, unless a double
// click arrived in between and opened the control panel instead.
#include "QvBuiTrayWndProc.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayIcon.h"
#include "QvBuiTrayLaunch.h"
#include "QvBuiTrayMenu.h"
#include "QvBuiTrayState.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"

using namespace QvBuiTray;

static void OnIconCallback(HWND window, LPARAM mouseMessage) {
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDOWN:
        clickState = kQvBuiTrayClickPressed;
        break;
    case WM_RBUTTONDOWN:
        clickState = kQvBuiTrayClickIdle;
        ShowQvBuiTrayMenu(window);
        break;
    case WM_LBUTTONDBLCLK:
        clickState = kQvBuiTrayClickIdle;
        WriteLogText(QVBUITRAY_LOG_DOUBLE_CLICK);
        RunQvBuiMenuCommand(kQvBuiTrayCmdControlPanel);
        break;
    default:  // moves, releases, the middle button
        break;
    }
}

LRESULT CALLBACK QvBuiTrayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        taskbarCreatedMessage = RegisterWindowMessageW(QVBUITRAY_TASKBAR_CREATED_MESSAGE_NAME);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(kQvBuiTrayQuitCode);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        // A press on the hidden window itself, never on the icon: ends the program.
        QvString line(QVBUITRAY_LOG_TRAY_MOUSE_CLICK);
        line.AppendFormat("%u", static_cast<unsigned>(LOWORD(lParam)));
        line.Append(QVBUITRAY_LOG_TRAY_MOUSE_CLICK_Y);
        line.AppendFormat("%u", static_cast<unsigned>(HIWORD(lParam)));
        WriteLogLine(&line);
        PostQuitMessage(kQvBuiTrayQuitCode);
        return 0;
    }
    case kQvBuiTrayCallbackMessage:
        OnIconCallback(window, lParam);
        return 0;
    default:
        break;
    }
    // The shell restarted: its new notification area is empty. Zero means no tray window
    // registered the name yet, and WM_NULL must not count as the broadcast.
    if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage && message != WM_COMMAND)
        ReAddQvBuiIconToSystemTray();
    return DefWindowProcW(window, message, wParam, lParam);
}

void OnTrayTimerTick(HWND window) {
    if (clickState == kQvBuiTrayClickOneTickPassed) {
        clickState = kQvBuiTrayClickIdle;
        ShowQvBuiTrayMenu(window);
    }
    // Read again: the menu's modal loop runs ticks and icon callbacks of its own.
    if (clickState == kQvBuiTrayClickPressed)
        clickState = kQvBuiTrayClickOneTickPassed;
    UpdateQvBuiIconVisibility();
}
