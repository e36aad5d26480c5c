// The notification icon: its record and size, its failures, the hide setting as the
// timer ticks over a moved clock, and its return after the shell restarted.
#include "QvBuiTrayIcon.h"

#include <regex>

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "QvBuiTrayWndProc.h"
#include "QvTestPlatform.h"

using namespace QvBuiTray;
using namespace QvBuiTrayTestEnv;

TEST(QvBuiTrayIcon, ScalesSmallIconMetricsFromNinetySixDpi) {
    struct Case {
        int baseWidth, baseHeight, dpi, width, height;
    } cases[] = {{16, 16, 72, 16, 16}, {16, 16, 120, 20, 20}, {16, 16, 144, 24, 24}, {20, 16, 130, 27, 21}};
    for (const Case& c : cases) {
        QvBuiTrayIconSize size = ScaleQvBuiTrayIconSize(c.baseWidth, c.baseHeight, c.dpi);
        EXPECT_EQ(c.width, size.width) << c.dpi << " dpi";
        EXPECT_EQ(c.height, size.height) << c.dpi << " dpi";
    }
}

class QvBuiTrayIconTest : public QvBuiTrayTest {
protected:
    void Tick(int advanceMillis) {
        QvPlatformTest::AdvanceFakeClockMillis(advanceMillis);
        OnTrayTimerTick(mainWindow);
    }
};

// The failure lines carry the error number right after the text, as "%d" writes it.
static bool IsFailureLine(const std::string& line, const std::string& text) {
    return line.compare(0, text.size(), text) == 0 &&
           std::regex_match(line.substr(text.size()), std::regex("-?[0-9]+"));
}

// The shell sends clicks as message 1025 to a hidden window and shows the tip; after a
// restart it announces itself, and every tray window adds its icon again.
TEST_F(QvBuiTrayIconTest, AddsIconForAHiddenTrayWindowAndAgainWhenTheShellRestarted) {
    ASSERT_TRUE(CreateQvBuiSystemTray());
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    EXPECT_EQ(trayWindow, trayIconData.hWnd);
    EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), trayIconData.uFlags);
    EXPECT_EQ(1025u, trayIconData.uCallbackMessage);
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
    // The icon is there already, so the add of a further announcement fails.
    SendMessageW(trayWindow, taskbarCreated, 0, 0);
    std::vector<std::string> log = TakeLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_TRUE(IsFailureLine(log[0], "ERROR: CreateQvBuiSystemTray_3 - Shell_NotifyIcon failed")) << log[0];
}

// A stand-in class of the tray window's name whose creation fails, or which already
// has icon 110 when the tray adds its own.
static bool failCreation;
static LRESULT CALLBACK StandInTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CREATE)
        return DefWindowProcW(window, message, wParam, lParam);
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = 110;
    return failCreation || !Shell_NotifyIconW(NIM_ADD, &icon) ? -1 : 0;
}

TEST_F(QvBuiTrayIconTest, LogsAFailedWindowOrIconWithTheErrorNumber) {
    UnregisterClassW(L"VelbrookTrayWindow", instance);
    WNDCLASSEXW standIn = {};
    standIn.cbSize = sizeof(standIn);
    standIn.lpfnWndProc = StandInTrayProc;
    standIn.hInstance = instance;
    standIn.lpszClassName = L"VelbrookTrayWindow";
    ASSERT_NE(0, RegisterClassExW(&standIn));

    failCreation = true;
    EXPECT_FALSE(CreateQvBuiSystemTray());
    EXPECT_EQ(nullptr, trayWindow);
    failCreation = false;
    EXPECT_FALSE(CreateQvBuiSystemTray());
    Shell_NotifyIconW(NIM_DELETE, &trayIconData);
    DestroyWindow(trayWindow);
    trayWindow = nullptr;
    EXPECT_TRUE(UnregisterClassW(L"VelbrookTrayWindow", instance));

    std::vector<std::string> log = TakeLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_TRUE(IsFailureLine(log[0], "ERROR: CreateQvBuiSystemTray 1 - CreateWindow failed, err=")) << log[0];
    EXPECT_TRUE(IsFailureLine(log[1], "ERROR: CreateQvBuiSystemTray 2 - Shell_NotifyIcon failed")) << log[1];
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
    // At exit the removal is tried again, and fails.
    RemoveQvBuiIconFromSystemTray();
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
