// The hidden main window and its About box.
#include "QvBuiTrayMainWindow.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayWndProc.h"
#include "resource.h"

using namespace QvBuiTray;

#if !defined(_WIN64)
static_assert(sizeof(WNDCLASSEXW) == 48, "WNDCLASSEXW of the 32-bit program is 48 bytes");
#endif

void RegisterQvBuiMainWindowClass() {
    WNDCLASSEXW windowClassInfo = {};
    windowClassInfo.cbSize = sizeof(windowClassInfo);
    windowClassInfo.style = kQvBuiTrayClassStyle;
    windowClassInfo.lpfnWndProc = MainWndProc;
    windowClassInfo.cbClsExtra = 0;
    windowClassInfo.cbWndExtra = 0;
    windowClassInfo.hInstance = instance;
    windowClassInfo.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QVBUITRAY));
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClassInfo.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(kQvBuiTrayClassBackground));
    windowClassInfo.lpszMenuName = MAKEINTRESOURCEW(IDC_QVBUITRAY);
    windowClassInfo.lpszClassName = windowClass;
    windowClassInfo.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QVBUITRAY));
    // A failure shows as the failed window creation that follows.
    RegisterClassExW(&windowClassInfo);
}

HWND CreateQvBuiMainWindow() {
    return CreateWindowExW(0, windowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                           nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_ABOUT:
            DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutDlgProc, 0);
            return 0;
        case IDM_EXIT:
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    case WM_TIMER:
        OnTrayTimerTick(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        if (timerId != 0) {
            KillTimer(window, timerId);
            timerId = 0;
        }
        PostQuitMessage(kQvBuiTrayQuitCode);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
