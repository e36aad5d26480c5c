// Clicks on the icon as the tray window receives them, and the timer ticks that tell a
// single click from a double click. The menu and the launcher are recorders.
#include "QvBuiTrayWndProc.h"

#include "QvBuiTrayIcon.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"

using namespace QvBuiTray;
using namespace QvBuiTrayTestEnv;
using namespace QvBuiTrayRecord;

class QvBuiTrayClickTest : public QvBuiTrayTest {
protected:
    void SetUp() override {
        QvBuiTrayTest::SetUp();
        ASSERT_TRUE(CreateQvBuiSystemTray());
    }
    void Icon(UINT mouseMessage) { SendMessageW(trayWindow, 1025, 0, mouseMessage); }
    void Tick() { OnTrayTimerTick(mainWindow); }
};

TEST_F(QvBuiTrayClickTest, LeftPressOpensTheMenuOnTheSecondTickOwnedByTheMainWindow) {
    Icon(WM_LBUTTONDOWN);
    Tick();
    EXPECT_TRUE(menuShows.empty()) << "opened on the first tick";
    Tick();
    ASSERT_EQ(1u, menuShows.size());
    EXPECT_EQ(mainWindow, menuShows[0].owner);
    EXPECT_EQ(0x1A2u, menuShows[0].flags);
    Tick();
    EXPECT_EQ(1u, menuShows.size());
    EXPECT_TRUE(launches.empty()) << "a dismissed menu runs nothing";
}

TEST_F(QvBuiTrayClickTest, DoubleClickBeforeTheSecondTickOpensTheControlPanelInstead) {
    Icon(WM_LBUTTONDOWN);
    Tick();
    Icon(WM_LBUTTONUP);
    Icon(WM_LBUTTONDBLCLK);
    Tick();
    Tick();
    EXPECT_TRUE(menuShows.empty());
    EXPECT_EQ(std::vector<std::string>{ControlPanel("-menu 1")}, launches);
    std::vector<std::string> log = ReadLogSinceMark();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("tray double click", log[0]);
}

TEST_F(QvBuiTrayClickTest, RightPressOpensTheMenuAtOnceAndOnlyOnceWhateverIsPending) {
    for (int ticksBefore = 0; ticksBefore <= 2; ++ticksBefore) {
        menuShows.clear();
        if (ticksBefore > 0)
            Icon(WM_LBUTTONDOWN);
        for (int i = 1; i < ticksBefore; ++i)
            Tick();  // pending click: state 1, then 2
        Icon(WM_RBUTTONDOWN);
        ASSERT_EQ(1u, menuShows.size()) << "left press " << ticksBefore << " tick(s) before";
        EXPECT_EQ(trayWindow, menuShows[0].owner);
        Tick();
        Tick();
        EXPECT_EQ(1u, menuShows.size()) << "left press " << ticksBefore << " tick(s) before";
    }
}

TEST_F(QvBuiTrayClickTest, OtherIconEventsAreIgnored) {
    for (UINT other : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_RBUTTONDBLCLK})
        Icon(other);
    Tick();
    Tick();
    EXPECT_TRUE(menuShows.empty());
    EXPECT_TRUE(launches.empty());
}

TEST_F(QvBuiTrayClickTest, PressOnTheTrayWindowItselfLogsItsPositionAndQuits) {
    SendMessageW(trayWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(0xFFFF, 34));
    EXPECT_EQ(std::vector<std::string>{"Tray MouseClick at x=65535, y=34"}, ReadLogSinceMark());
    int code = -5;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(0, code);
}

TEST_F(QvBuiTrayClickTest, ChosenEntryGoesToTheControlPanelAndQuitAlsoEndsTheProgram) {
    menuAnswer = 6;
    Icon(WM_RBUTTONDOWN);
    EXPECT_EQ(std::vector<std::string>{ControlPanel("-menu 6")}, launches);
    EXPECT_FALSE(TakeQuitMessage(nullptr));

    launches.clear();
    timerId = SetTimer(mainWindow, 0, 100000, nullptr);
    ASSERT_NE(0u, timerId);
    menuAnswer = 8;
    Icon(WM_LBUTTONDOWN);
    Tick();
    Tick();
    EXPECT_EQ(std::vector<std::string>{ControlPanel("-quitqvbui")}, launches);
    EXPECT_EQ(0u, timerId) << "the timer of the menu's owner is stopped";
    int code = -5;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(0, code);
}
