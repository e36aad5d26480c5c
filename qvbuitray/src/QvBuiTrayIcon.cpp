// The notification-area icon and the hidden tray window that receives its callbacks.
// The icon is added by the first timer tick rather than at start-up, and from then on
// follows the client's hide setting.
#include "QvBuiTrayIcon.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayState.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvTime.h"
#include "qvbase/QvUiUtil.h"
#include "qvbase/QvUtf16String.h"

using namespace QvBuiTray;

// The shell tells the layouts of the icon record apart by cbSize. The shipping 32-bit
// program announces the full layout of its own ABI, 956 bytes. A 64-bit build (the one
// the tests run under Wine) has to announce the full layout of the 64-bit ABI instead:
// its handles are 8 bytes and aligned, which makes the same record 976 bytes, and 956
// names no layout the shell knows there.
#if defined(_WIN64)
static_assert(sizeof(NOTIFYICONDATAW) == 976, "unexpected 64-bit NOTIFYICONDATAW layout");
static const DWORD kIconRecordSize = sizeof(NOTIFYICONDATAW);
#else
static_assert(sizeof(NOTIFYICONDATAW) == kQvBuiTrayIconRecordSize32,
              "NOTIFYICONDATAW is not the full layout of 956 bytes");
static const DWORD kIconRecordSize = kQvBuiTrayIconRecordSize32;
#endif

static void RegisterTrayWindowClass() {
    WNDCLASSEXW windowClassInfo = {};
    windowClassInfo.cbSize = sizeof(windowClassInfo);
    windowClassInfo.style = kQvBuiTrayClassStyle;
    windowClassInfo.lpfnWndProc = trayWindowProcedure;
    windowClassInfo.cbClsExtra = 0;
    windowClassInfo.cbWndExtra = 0;
    windowClassInfo.hInstance = instance;
    windowClassInfo.hIcon = nullptr;
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClassInfo.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(kQvBuiTrayClassBackground));
    windowClassInfo.lpszMenuName = QVBUITRAY_TRAY_MENU_NAME;
    windowClassInfo.lpszClassName = QVBUITRAY_TRAY_WINDOW_CLASS;
    windowClassInfo.hIconSm = nullptr;
    // Fails harmlessly from the second tray window on: the class is already there.
    RegisterClassExW(&windowClassInfo);
}

static void WriteLogWithErrorNumber(const char* text, DWORD error) {
    QvString line(text);
    line.AppendFormat("%d", static_cast<int>(error));
    WriteLogLine(&line);
}

static bool AddIcon(const char* failureText) {
    if (Shell_NotifyIconW(NIM_ADD, &trayIconData))
        return true;
    WriteLogWithErrorNumber(failureText, GetLastError());
    return false;
}

QvBuiTrayIconSize ScaleQvBuiTrayIconSize(int baseWidth, int baseHeight, int dpi) {
    if (dpi < kQvBuiTrayBaseDpi)
        dpi = kQvBuiTrayBaseDpi;
    QvBuiTrayIconSize size;
    size.width = baseWidth * dpi / kQvBuiTrayBaseDpi;
    size.height = baseHeight * dpi / kQvBuiTrayBaseDpi;
    return size;
}

// The resolution of a window: GetDpiForWindow where it exists, else the device
// context's horizontal pixel density.
static int GetWindowDpi(HWND window) {
    if (getDpiForWindow)
        return static_cast<int>(getDpiForWindow(window));
    int dpi = 0;
    HDC deviceContext = GetWindowDC(window);
    if (deviceContext) {
        dpi = GetDeviceCaps(deviceContext, LOGPIXELSX);
        ReleaseDC(window, deviceContext);
    }
    return dpi;
}

// Clears the icon record and fills it for trayWindow with the given icon.
static void FillIconData(HICON icon) {
    ZeroMemory(&trayIconData, sizeof(trayIconData));
    trayIconData.cbSize = kIconRecordSize;
    trayIconData.hWnd = trayWindow;
    trayIconData.uID = kQvBuiTrayIconId;
    trayIconData.uFlags = kQvBuiTrayIconFlags;
    trayIconData.uCallbackMessage = kQvBuiTrayCallbackMessage;
    trayIconData.hIcon = icon;

    QvUtf16String tip;
    tip.SetFromUtf8(QVBUITRAY_TIP_TEXT);
    int units = tip.GetUnitCount();
    if (units > kQvBuiTrayTipMaxUnits)
        units = kQvBuiTrayTipMaxUnits;
    const char16_t* text = tip.GetText();
    for (int i = 0; i < units; ++i)
        trayIconData.szTip[i] = static_cast<wchar_t>(text[i]);
    trayIconData.szTip[units] = L'\0';
}

static HICON LoadScaledIcon(int width, int height) {
    HICON icon = nullptr;
    if (loadIconWithScaleDown) {
        if (FAILED(loadIconWithScaleDown(instance, MAKEINTRESOURCEW(kQvBuiTrayIconId), width, height, &icon)))
            icon = nullptr;
        return icon;
    }
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kQvBuiTrayIconId), IMAGE_ICON, width, height, 0));
}

bool CreateQvBuiSystemTray() {
    if (IsHideIconSet())
        return true;

    RegisterTrayWindowClass();
    trayWindow = CreateWindowExW(0, QVBUITRAY_TRAY_WINDOW_CLASS, QVBUITRAY_TRAY_WINDOW_TITLE,
                                 WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                                 nullptr, instance, nullptr);
    if (!trayWindow) {
        WriteLogWithErrorNumber(QVBUITRAY_LOG_CREATE_WINDOW_FAILED, GetLastError());
        return false;
    }

    FillIconData(nullptr);
    QvBuiTrayIconSize size = ScaleQvBuiTrayIconSize(GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON),
                                                    GetWindowDpi(trayWindow));
    // An icon that cannot be loaded still gets its place (and tip) in the notification area.
    trayIconData.hIcon = LoadScaledIcon(size.width, size.height);
    return AddIcon(QVBUITRAY_LOG_ADD_ICON_FAILED);
}

bool ReAddQvBuiIconToSystemTray() {
    FillIconData(LoadIconW(instance, MAKEINTRESOURCEW(kQvBuiTrayIconId)));
    return AddIcon(QVBUITRAY_LOG_READD_ICON_FAILED);
}

void RemoveQvBuiIconFromSystemTray() {
    if (!Shell_NotifyIconW(NIM_DELETE, &trayIconData))
        WriteLogText(QVBUITRAY_LOG_REMOVE_FAILED);
}

void UpdateQvBuiIconVisibility() {
    // Seconds since 1970 from the program's clock (which tests can move).
    int64_t now = GetCurrentTimeMillis() / 1000;
    bool firstCheck = firstVisibilityCheckTime == 0;
    double elapsed = 0.0;
    if (firstCheck)
        firstVisibilityCheckTime = now;
    else
        elapsed = static_cast<double>(now - firstVisibilityCheckTime);

    bool hidden = false;
    if (firstCheck || elapsed > kQvBuiTrayHideSettingGraceSeconds)
        hidden = IsHideIconSet();
    if (hidden == lastHidden && !firstCheck)
        return;
    lastHidden = hidden;

    if (!hidden)
        CreateQvBuiSystemTray();
    else if (trayIconData.cbSize != 0)
        RemoveQvBuiIconFromSystemTray();
}
