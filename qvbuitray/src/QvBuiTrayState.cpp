// Definitions of the program-wide state declared in QvBuiTrayState.h.
#include "QvBuiTrayState.h"

namespace QvBuiTray {

HINSTANCE instance = nullptr;
wchar_t title[kQvBuiTrayResourceTextUnits] = {};
wchar_t windowClass[kQvBuiTrayResourceTextUnits] = {};
UINT_PTR timerId = 0;
QvGetDpiForWindowFunction getDpiForWindow = nullptr;
QvLoadIconWithScaleDownFunction loadIconWithScaleDown = nullptr;

HWND trayWindow = nullptr;
WNDPROC trayWindowProcedure = nullptr;
NOTIFYICONDATAW trayIconData = {};
int64_t firstVisibilityCheckTime = 0;
bool lastHidden = false;
UINT taskbarCreatedMessage = 0;

int clickState = kQvBuiTrayClickIdle;

bool showSendLogsItem = false;

}  // namespace QvBuiTray
