// The notification icon: its record and size, its failures, the hide setting as the
// timer ticks over a moved clock, and its return after the shell restarted.
#include "QvBuiTrayIcon.h"

#include <regex>

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "QvBuiTrayWndProc.h"
#include "QvTestPlatform.h"

using namespace QvBuiTray;

TEST(QvBuiTrayIcon, ScalesSmallIconMetricsFromNinetySixDpi) {
    struct Case { int baseWidth, baseHeight, dpi, width, height; } cases[] = {
        {16, 16, 72, 16, 16}, {16, 16, 120, 20, 20}, {16, 16, 144, 24, 24}, {20, 16, 130, 27, 21}};
    for (const Case& c : cases) {
        QvBuiTrayIconSize size = ScaleQvBuiTrayIconSize(c.baseWidth, c.baseHeight, c.dpi);
        EXPECT_EQ(std::make_pair(c.width, c.height), std::make_pair(size.width, size.height)) << c.dpi << " dpi";
    }
}

class QvBuiTrayIconTest : public QvBuiTrayTest {
protected:
    void Tick(int advanceMillis) {
        QvPlatformTest::AdvanceFakeClockMillis(advanceMillis);
        OnTrayTimerTick(mainWindow);
    }
    // The failure lines end with the error number as "%d" writes it; here it reads "<n>".
    std::vector<std::string> TakeLogWithoutErrorNumbers() {
        std::vector<std::string> log = TakeLog();
        for (std::string& line : log)
            line = std::regex_replace(line, std::regex("-?[0-9]+$"), "<n>");
        return log;
    }
    // A tray window procedure that fails the window's creation, or adds icon 110 itself so
    // that the tray's own add fails.
    static inline bool failCreation = false;
    static LRESULT CALLBACK StandInTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_CREATE)
            return DefWindowProcW(window, message, wParam, lParam);
        NOTIFYICONDATAW icon = IconRecord(window);
        return failCreation || !Shell_NotifyIconW(NIM_ADD, &icon) ? -1 : 0;
    }
};

// The shell sends clicks as message 1025 to a hidden window and shows the tip; after a
// restart it announces itself, and every tray window adds its icon again.
TEST_F(QvBuiTrayIconTest, AddsIconForAHiddenTrayWindowAndAgainWhenTheShellRestarted) {
    ASSERT_TRUE(CreateQvBuiSystemTray());
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    EXPECT_EQ(std::make_tuple(trayWindow, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), 1025u),
              std::make_tuple(trayIconData.hWnd, trayIconData.uFlags, trayIconData.uCallbackMessage));
    EXPECT_NE(nullptr, trayIconData.hIcon) << "icon 110 did not load";
    EXPECT_STREQ(L"Velbrook", trayIconData.szTip);
    EXPECT_TRUE(IsIconShown(trayWindow));

    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &trayIconData));  // the old shell took it along
    trayIconData.szTip[0] = L'\0';
    SetHideIcon(true);  // not consulted by the re-add
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    SendMessageW(trayWindow, taskbarCreated, 0, 0);
    EXPECT_TRUE(IsIconShown(trayWindow));
    EXPECT_STREQ(L"Velbrook", trayIconData.szTip);
    SendMessageW(trayWindow, taskbarCreated, 0, 0);  // the icon is there already: this add fails
    EXPECT_EQ(std::vector<std::string>{"ERROR: CreateQvBuiSystemTray_3 - Shell_NotifyIcon failed<n>"},
              TakeLogWithoutErrorNumbers());
}

TEST_F(QvBuiTrayIconTest, LogsAFailedWindowOrIconWithTheErrorNumber) {
    trayWindowProcedure = StandInTrayProc;
    for (bool fail : {true, false}) {
        failCreation = fail;
        EXPECT_FALSE(CreateQvBuiSystemTray());
        EXPECT_EQ(fail, trayWindow == nullptr);
    }
    EXPECT_EQ((std::vector<std::string>{"ERROR: CreateQvBuiSystemTray 1 - CreateWindow failed, err=<n>",
                                        "ERROR: CreateQvBuiSystemTray 2 - Shell_NotifyIcon failed<n>"}),
              TakeLogWithoutErrorNumbers());
}

TEST_F(QvBuiTrayIconTest, FirstTickShowsIconAndTurningHideOnRemovesItOnlyAfterTenSeconds) {
    firstVisibilityCheckTime = 0;
    Tick(0);
    HWND first = trayWindow;
    ASSERT_NE(nullptr, first);
    EXPECT_TRUE(IsIconShown(first));
    SetHideIcon(true);
    Tick(10000);
    EXPECT_TRUE(IsIconShown(first)) << "the setting was read 10 s after the first tick";
    Tick(1000);
    EXPECT_FALSE(IsIconShown(first));
    RemoveQvBuiIconFromSystemTray();  // as at exit: tried again, and fails
    EXPECT_EQ(std::vector<std::string>{"ERROR: RemoveQvBuiIconFromSystemTray failed"}, TakeLog());

    // Turned off again: a further tray window shows the icon; the first one stays.
    SetHideIcon(false);
    Tick(150);
    EXPECT_NE(first, trayWindow);
    EXPECT_TRUE(IsWindow(first));
    EXPECT_TRUE(IsIconShown(trayWindow));
    DestroyWindow(first);
}

// Hidden at the first tick, turned off 5 s later or only after the 10 s mark: the second
// tick already took the icon as shown, so an early change is never seen.
TEST_F(QvBuiTrayIconTest, HiddenAtStartShowsOnlyWhenTurnedOffAfterTenSeconds) {
    for (bool offAtFiveSeconds : {true, false}) {
        SetHideIcon(true);
        firstVisibilityCheckTime = 0;
        lastHidden = false;
        Tick(0);
        Tick(150);
        if (offAtFiveSeconds)
            SetHideIcon(false);
        Tick(5000);
        Tick(6000);
        EXPECT_EQ(nullptr, trayWindow);
        EXPECT_EQ(0u, trayIconData.cbSize);
        SetHideIcon(false);
        Tick(150);
        EXPECT_EQ(!offAtFiveSeconds, trayWindow != nullptr && IsIconShown(trayWindow)) << offAtFiveSeconds;
    }
}
