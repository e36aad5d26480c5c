// The hidden main window's handling of its timer, Exit and destruction.
#include "QvBuiTrayMainWindow.h"

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "resource.h"

using namespace QvBuiTray;

TEST_F(QvBuiTrayTest, MainWindowTicksOnTimerMessagesAndEndsTheLoopWhenExitDestroysIt) {
    LoadStringW(instance, IDS_APP_TITLE, title, kQvBuiTrayResourceTextUnits);
    LoadStringW(instance, IDC_QVBUITRAY, windowClass, kQvBuiTrayResourceTextUnits);
    RegisterQvBuiMainWindowClass();
    HWND window = CreateQvBuiMainWindow();
    ASSERT_NE(nullptr, window);

    clickState = kQvBuiTrayClickPressed;
    SendMessageW(window, WM_TIMER, 77, 0);
    EXPECT_EQ(kQvBuiTrayClickOneTickPassed, clickState) << "any timer id ticks";

    timerId = SetTimer(window, 0, 100000, nullptr);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, timerId);
    EXPECT_EQ(0, TakeQuitCode());
}
