#pragma once
// The hidden main window: it owns the program's only timer, whose ticks drive the icon
// and the click handling, and carries the (never shown) menu with Exit and About.

#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the main window class (class name QvBuiTray::windowClass); not examined.
void RegisterQvBuiMainWindowClass();
// Creates the hidden main window (null on failure).
HWND CreateQvBuiMainWindow();
