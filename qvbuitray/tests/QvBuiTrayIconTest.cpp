// The notification icon: its record, its size at each resolution, the hide setting as
// the timer ticks over a moved clock, and its return after the shell restarted.
#include "QvBuiTrayIcon.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "QvBuiTrayWndProc.h"
#include "platform/QvPlatformClock.h"

using namespace QvBuiTray;
using namespace QvBuiTrayTestEnv;

TEST(QvBuiTrayIcon, ScalesSmallIconMetricsFromNinetySixDpi) {
    struct Case {
        int baseWidth, baseHeight, dpi, width, height;
    } cases[] = {
        {16, 16, 72, 16, 16},   // below 96 counts as 96
        {16, 16, 96, 16, 16},
        {16, 16, 120, 20, 20},
        {16, 16, 144, 24, 24},
        {16, 16, 0, 16, 16},    // no answer from the device context
        {20, 16, 130, 27, 21},  // remainders dropped, each side on its own
    };
    for (const Case& c : cases) {
        QvBuiTrayIconSize size = ScaleQvBuiTrayIconSize(c.baseWidth, c.baseHeight, c.dpi);
        EXPECT_EQ(c.width, size.width) << c.baseWidth << "x" << c.baseHeight << " at " << c.dpi;
        EXPECT_EQ(c.height, size.height) << c.baseWidth << "x" << c.baseHeight << " at " << c.dpi;
    }
}

using QvBuiTrayIconTest = QvBuiTrayTest;

TEST_F(QvBuiTrayIconTest, AddsIconWithIdCallbackAndTipForANewHiddenTrayWindow) {
    ASSERT_TRUE(CreateQvBuiSystemTray());
    ASSERT_NE(nullptr, trayWindow);

    wchar_t text[64] = {};
    GetClassNameW(trayWindow, text, 64);
    EXPECT_STREQ(L"VelbrookTrayWindow", text);
    GetWindowTextW(trayWindow, text, 64);
    EXPECT_STREQ(L"VelbrookTrayWindow", text);
    EXPECT_FALSE(IsWindowVisible(trayWindow));

    EXPECT_EQ(sizeof(NOTIFYICONDATAW), trayIconData.cbSize);
    EXPECT_EQ(trayWindow, trayIconData.hWnd);
    EXPECT_EQ(110u, trayIconData.uID);
    EXPECT_EQ(7u, trayIconData.uFlags);
    EXPECT_EQ(1025u, trayIconData.uCallbackMessage);
    EXPECT_NE(nullptr, trayIconData.hIcon) << "icon 110 did not load";
    EXPECT_STREQ(L"Velbrook", trayIconData.szTip);
    EXPECT_EQ(0u, trayIconData.dwState);
    EXPECT_EQ(0u, trayIconData.uVersion);
    EXPECT_EQ(L'\0', trayIconData.szInfo[0]);
    EXPECT_NE(0u, taskbarCreatedMessage) << "the tray window registers TaskbarCreated when created";
    EXPECT_TRUE(IsIconShown(trayWindow));
}

TEST_F(QvBuiTrayIconTest, ReAddsIconWhenTheShellAnnouncesItRestarted) {
    ASSERT_TRUE(CreateQvBuiSystemTray());
    HWND window = trayWindow;
    // The old shell took the icon with it.
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &trayIconData));
    ASSERT_FALSE(IsIconShown(window));

    SendMessageW(window, taskbarCreatedMessage, 0, 0);
    EXPECT_TRUE(IsIconShown(window));
    EXPECT_EQ(110u, trayIconData.uID);
    EXPECT_STREQ(L"Velbrook", trayIconData.szTip);

    // An icon that is still there cannot be added twice; the failure is logged.
    SendMessageW(window, taskbarCreatedMessage, 0, 0);
    std::vector<std::string> log = ReadLogSinceMark();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].find("ERROR: CreateQvBuiSystemTray_3 - Shell_NotifyIcon failed")) << log[0];
}

TEST_F(QvBuiTrayIconTest, FirstTickShowsIconAndTurningHideOnRemovesItOnlyAfterTenSeconds) {
    firstVisibilityCheckTime = 0;
    OnTrayTimerTick(mainWindow);
    ASSERT_NE(nullptr, trayWindow);
    HWND first = trayWindow;
    EXPECT_TRUE(IsIconShown(first));

    SetHideIcon(true);
    for (int second = 1; second <= 10; ++second) {
        QvPlatformTest::AdvanceFakeClockMillis(1000);
        OnTrayTimerTick(mainWindow);
        EXPECT_TRUE(IsIconShown(first)) << "the setting is not read " << second << " s after the first tick";
    }
    // Elapsed time counts in whole seconds: the next tick past the 10 s mark reads it.
    QvPlatformTest::AdvanceFakeClockMillis(1000);
    OnTrayTimerTick(mainWindow);
    EXPECT_FALSE(IsIconShown(first));
    EXPECT_TRUE(ReadLogSinceMark().empty());

    // At exit the removal is tried again, and fails.
    RemoveQvBuiIconFromSystemTray();
    EXPECT_EQ(std::vector<std::string>{"ERROR: RemoveQvBuiIconFromSystemTray failed"}, ReadLogSinceMark());

    // Turned off again: a further tray window shows the icon; the first one stays.
    SetHideIcon(false);
    OnTrayTimerTick(mainWindow);
    ASSERT_NE(nullptr, trayWindow);
    EXPECT_NE(first, trayWindow);
    EXPECT_TRUE(IsWindow(first));
    EXPECT_TRUE(IsIconShown(trayWindow));
    DestroyWindow(first);
}

TEST_F(QvBuiTrayIconTest, HiddenAtStartCreatesNothingUntilTheSettingIsSeenTurnedOff) {
    SetHideIcon(true);
    firstVisibilityCheckTime = 0;
    OnTrayTimerTick(mainWindow);
    QvPlatformTest::AdvanceFakeClockMillis(150);
    OnTrayTimerTick(mainWindow);  // no longer hidden as far as the tick knows, but the setting holds
    QvPlatformTest::AdvanceFakeClockMillis(11000);
    OnTrayTimerTick(mainWindow);
    EXPECT_EQ(nullptr, trayWindow);
    EXPECT_EQ(0u, trayIconData.cbSize);

    SetHideIcon(false);
    QvPlatformTest::AdvanceFakeClockMillis(150);
    OnTrayTimerTick(mainWindow);
    ASSERT_NE(nullptr, trayWindow);
    EXPECT_TRUE(IsIconShown(trayWindow));
}

TEST_F(QvBuiTrayIconTest, HiddenAtStartAndTurnedOffWithinTenSecondsStaysHidden) {
    SetHideIcon(true);
    firstVisibilityCheckTime = 0;
    OnTrayTimerTick(mainWindow);
    QvPlatformTest::AdvanceFakeClockMillis(150);
    OnTrayTimerTick(mainWindow);
    SetHideIcon(false);
    QvPlatformTest::AdvanceFakeClockMillis(5000);
    OnTrayTimerTick(mainWindow);
    QvPlatformTest::AdvanceFakeClockMillis(6000);
    OnTrayTimerTick(mainWindow);
    // The tick already believed the icon shown; it sees no change to act on.
    EXPECT_EQ(nullptr, trayWindow);
}
