#pragma once
// Program-wide state of the tray program. Each variable belongs to one module (named
// in its group) and lives until the process ends; the others only read it. Tests set
// these directly to start a case from a known state.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "QvBuiTrayConstants.h"

// Optional entry points, present only on newer systems.
typedef UINT(WINAPI* QvGetDpiForWindowFunction)(HWND window);
typedef HRESULT(WINAPI* QvLoadIconWithScaleDownFunction)(HINSTANCE instance, PCWSTR name, int width,
                                                         int height, HICON* icon);

namespace QvBuiTray {

// ---- Start-up and main window (QvBuiTrayMain.cpp, QvBuiTrayMainWindow.cpp) ----------
extern HINSTANCE instance;
extern wchar_t title[kQvBuiTrayResourceTextUnits];        // string IDS_APP_TITLE, main window title
extern wchar_t windowClass[kQvBuiTrayResourceTextUnits];  // string IDC_QVBUITRAY, main window class
extern UINT_PTR timerId;  // the 150 ms timer of the main window; 0 while none runs
extern QvGetDpiForWindowFunction getDpiForWindow;              // null when missing
extern QvLoadIconWithScaleDownFunction loadIconWithScaleDown;  // null when missing

// ---- Notification icon (QvBuiTrayIcon.cpp) ----------------------------------------
extern HWND trayWindow;  // most recent tray window; null before the first, after a failed one
// The tray window's procedure (QvBuiTrayWndProc), given by the start-up: the icon code
// registers the class with it but does not depend on the procedure, which calls back
// into the icon code.
extern WNDPROC trayWindowProcedure;
// Filled on every add. A non-zero cbSize means an icon was set up at least once.
extern NOTIFYICONDATAW trayIconData;
extern int64_t firstVisibilityCheckTime;  // seconds since 1970; 0 until the first check
extern bool lastHidden;                   // the hide state acted on last
extern UINT taskbarCreatedMessage;        // registered by each new tray window

// ---- Clicks (QvBuiTrayWndProc.cpp) ------------------------------------------------
extern int clickState;  // kQvBuiTrayClickIdle / Pressed / OneTickPassed

// ---- Menu (QvBuiTrayMenu.cpp) -----------------------------------------------------
// Set once Ctrl or Alt was held while the menu opened; never cleared while running.
extern bool showSendLogsItem;

}  // namespace QvBuiTray
