// Clicks on the icon as the tray window receives them, the timer ticks that tell a single
// click from a double click, and the control panel's command line for each command.
#include "QvBuiTrayWndProc.h"

#include "QvBuiTrayIcon.h"
#include "QvBuiTrayLaunch.h"
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

TEST_F(QvBuiTrayClickTest, OpensTheMenuOnTheSecondTickAfterALeftPressAtOnceOnARightPress) {
    const UINT T = 0;  // a timer tick
    struct Case {
        const char* name;
        std::vector<UINT> steps;
        size_t menus;
        bool ownedByTray;
    } cases[] = {
        {"left press, one tick", {WM_LBUTTONDOWN, T}, 0, false},
        {"left press, three ticks", {WM_LBUTTONDOWN, T, T, T}, 1, false},
        {"right press", {WM_RBUTTONDOWN, T, T}, 1, true},
        {"right press after a left press", {WM_LBUTTONDOWN, WM_RBUTTONDOWN, T, T}, 1, true},
        {"right press a tick after a left press", {WM_LBUTTONDOWN, T, WM_RBUTTONDOWN, T, T}, 1, true},
        {"other events", {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_RBUTTONDBLCLK, T, T}, 0, false},
    };
    for (const Case& c : cases) {
        menuShows.clear();
        for (UINT step : c.steps)
            step == T ? Tick() : Icon(step);
        ASSERT_EQ(c.menus, menuShows.size()) << c.name;
        if (c.menus) {
            EXPECT_EQ(c.ownedByTray ? trayWindow : mainWindow, menuShows[0].owner) << c.name;
        }
    }
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
    EXPECT_EQ("tray double click", TakeLog().at(0));
}

TEST_F(QvBuiTrayClickTest, PressOnTheTrayWindowItselfLogsItsPositionAndQuits) {
    SendMessageW(trayWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(0xFFFF, 34));
    EXPECT_EQ(std::vector<std::string>{"Tray MouseClick at x=65535, y=34"}, TakeLog());
    int code = -5;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(0, code);
}

TEST_F(QvBuiTrayClickTest, ChosenEntryGoesToTheControlPanelAndQuitAlsoEndsTheProgram) {
    int code = -5;
    menuAnswer = 6;
    Icon(WM_RBUTTONDOWN);
    EXPECT_EQ(std::vector<std::string>{ControlPanel("-menu 6")}, launches);
    EXPECT_FALSE(TakeQuitMessage(&code));

    launches.clear();
    timerId = SetTimer(mainWindow, 0, 100000, nullptr);
    menuAnswer = 8;
    Icon(WM_LBUTTONDOWN);
    Tick();
    Tick();
    EXPECT_EQ(std::vector<std::string>{ControlPanel("-quitqvbui")}, launches);
    EXPECT_EQ(0u, timerId) << "the timer of the menu's owner is stopped";
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(0, code);
}

// Quit (8) has its own argument; ids outside 1..9 get none.
TEST_F(QvBuiTrayTest, LaunchGivesEachCommandItsArgumentAfterTheQuotedProgram) {
    std::vector<std::string> expectedLaunches, expectedLog;
    for (int id = -1; id <= 10; ++id) {
        std::string argument = id == 8 ? "-quitqvbui" : id >= 1 && id <= 9 ? "-menu " + std::to_string(id) : "";
        RunQvBuiMenuCommand(id);
        expectedLaunches.push_back(ControlPanel(argument));
        expectedLog.push_back("About to async run -menu with cmd: " + ControlPanel(argument));
        expectedLog.push_back("Invoke qvbui.exe, QvSystem::RunCommand: " + ControlPanel(argument));
    }
    EXPECT_EQ(expectedLaunches, launches);
    EXPECT_EQ(expectedLog, TakeLog());
}
