#pragma once
// The tray window's message handler, the timer tick that tells a single click from a
// double click, and (in QvBuiTrayLaunch.h) the start of the control panel.

#include <windows.h>

LRESULT CALLBACK QvBuiTrayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Every 150 ms, from the main window's timer: completes a pending single click by opening
// the menu on the second tick after the press, then applies the hide setting.
void OnTrayTimerTick(HWND window);
