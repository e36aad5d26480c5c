// Clicks on the icon as the tray window receives them, the timer ticks that tell a single
// click from a double click, and the control panel's command line for each command.
#include "QvBuiTrayWndProc.h"


#include "QvBuiTrayIcon.h"
#include "QvBuiTrayLaunch.h"
#include "QvBuiTrayState.h"
#include "QvBuiTraySeams.h"
#include "QvBuiTrayTestSupport.h"
#include "QvTestCommon.h"
#include "QvTestSystem.h"
#include "qvbase/QvSystem.h"
#include "QvTestHooks.h"

using namespace QvBuiTray;

class QvBuiTrayClickTest : public QvBuiTrayTest {
protected:
    void SetUp() override {
        QvBuiTrayTest::SetUp();
        ASSERT_TRUE(CreateQvBuiSystemTray());
    }
    void Icon(UINT mouseMessage) { SendMessageW(trayWindow, 1025, 0, mouseMessage); }
    void Tick() { OnTrayTimerTick(mainWindow); }
};

// A left press opens the menu on the second tick after it, owned by the timer's window;
// a right press opens it at once, owned by the tray window; a double click in between
// opens the control panel instead.
TEST_F(QvBuiTrayClickTest, OpensTheMenuOnTheSecondTickAfterALeftPressAtOnceOnARightPress) {
    const UINT T = 0;  // a timer tick
    struct Case {
        const char* name; std::vector<UINT> steps; std::vector<HWND> menuOwners; std::vector<std::string> launched;
    } const cases[] = {
        {"left press, one tick", {WM_LBUTTONDOWN, T}, {}, {}},
        {"left press, three ticks", {WM_LBUTTONDOWN, T, T, T}, {mainWindow}, {}},
        {"right press", {WM_RBUTTONDOWN, T, T}, {trayWindow}, {}},
        {"right press after a left press", {WM_LBUTTONDOWN, WM_RBUTTONDOWN, T, T}, {trayWindow}, {}},
        {"right press a tick after a left press", {WM_LBUTTONDOWN, T, WM_RBUTTONDOWN, T, T}, {trayWindow}, {}},
        {"double click", {WM_LBUTTONDOWN, T, WM_LBUTTONUP, WM_LBUTTONDBLCLK, T, T}, {}, {ControlPanel("-menu 1")}},
        {"other events", {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_RBUTTONDBLCLK, T, T}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        menuShows.clear();
        launches.clear();
        for (UINT step : c.steps)
            step == T ? Tick() : Icon(step);
        std::vector<HWND> owners;
        for (const QvBuiTrayMenuShow& show : menuShows)
            owners.push_back(show.owner);
        EXPECT_EQ(c.menuOwners, owners);
        EXPECT_EQ(c.launched, launches) << "a dismissed menu runs nothing";
        std::vector<std::string> log = TakeLog();  // a double click says so before the launch
        EXPECT_EQ(c.launched.empty() ? "" : "tray double click", log.empty() ? "" : log[0]);
    }
}

TEST_F(QvBuiTrayClickTest, PressOnTheTrayWindowItselfLogsItsPositionAndQuits) {
    SendMessageW(trayWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(0xFFFF, 34));
    EXPECT_EQ(std::vector<std::string>{"Tray MouseClick at x=65535, y=34"}, TakeLog());
    EXPECT_EQ(0, TakeQuitCode());
}

TEST_F(QvBuiTrayClickTest, ChosenEntryGoesToTheControlPanelAndQuitAlsoEndsTheProgram) {
    menuAnswer = 6;
    Icon(WM_RBUTTONDOWN);
    EXPECT_EQ(std::vector<std::string>{ControlPanel("-menu 6")}, launches);
    EXPECT_EQ(-99, TakeQuitCode()) << "no quit";

    timerId = SetTimer(mainWindow, 0, 100000, nullptr);
    menuAnswer = 8;
    Icon(WM_LBUTTONDOWN);
    Tick();
    Tick();
    EXPECT_EQ((std::vector<std::string>{ControlPanel("-menu 6"), ControlPanel("-quitqvbui")}), launches);
    EXPECT_EQ(0u, timerId) << "the timer of the menu's owner is stopped";
    EXPECT_EQ(0, TakeQuitCode());
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

// The install directory comes from a registry value that only administrators can write,
// yet whatever it holds, qvbui.exe gets exactly its one argument and no other program
// starts. The launches go to the real shell, with a program that records its arguments
// standing in for qvbui.exe.
TEST_F(QvBuiTrayTest, InstallDirectoryFromTheRegistryNeverAddsAnArgumentOrNamesAnotherProgram) {
    QvBuiTraySeams::runCommand = [](const QvString* commandLine) {
        launches.push_back(commandLine->GetText());
        return QvBuiTraySeams::RunCommandWithPlatform(commandLine);
    };
    // The recorder as built, by its host path (under Wine the host's root is drive Z:).
    const std::string recorder = QvTestWinePath(QvTestDataFile(QV_ARG_RECORDER_PATH));
    std::string deep = "deep";
    while (temp.Join(deep).size() < 300)
        deep += "\\folder";
    const std::string deepDir = temp.MakeDir(deep), inst = installDir;
    for (const std::string& folder : {temp.MakeDir("decoy"), inst, deepDir})
        ASSERT_TRUE(QvTestSystem::CopyProgram(recorder, folder + "\\qvbui.exe"));
    const struct { std::string value, program; } cases[] = {
        // Taken: the path between the quotes names qvbui.exe in the folder, as written.
        {inst + "\\sub\\..", inst + "\\sub\\..\\qvbui.exe"},
        {inst + "\\\\", inst + "\\\\qvbui.exe"},  // one trailing separator goes
        // Over 300 characters with the program name: Windows refuses to start a program
        // path longer than MAX_PATH. wine: the shell reports the start, yet nothing runs;
        // so only the command line is judged.
        {deepDir, deepDir + "\\qvbui.exe"},
        // Refused: the quote would close the program path after the decoy, a line break
        // would put a line of its own into the log.
        {temp.Join("decoy") + "\\qvbui.exe\" -menu 9 \"" + inst, ""},
        {inst + "\nqvbuitray END", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(QvSystem::kRegistryRootLocalMachine, "Software\\Velbrook",
                                                      "installdir", c.value));
        QvSystemTest::ResetDirectoryCaches();
        launches.clear();
        RunQvBuiMenuCommand(1);
        const std::string line = "\"" + c.program + "\" -menu 1";
        EXPECT_EQ(c.program.empty() ? std::vector<std::string>{} : std::vector<std::string>{line}, launches);
        const std::vector<std::string> log = TakeLog();
        EXPECT_EQ(c.program.empty() ? QVBUITRAY_LOG_INSTALL_DIR_REFUSED : "About to async run -menu with cmd: " + line,
                  log.empty() ? "" : log[0]);
        if (c.program.empty() || c.program.size() >= MAX_PATH)
            continue;
        EXPECT_EQ("Invoke qvbui.exe, QvSystem::RunCommand: " + line, log.back());
        const std::string record = c.program.substr(0, c.program.rfind('\\')) + "\\QvArgRecorder.out";
        std::string received;
        EXPECT_TRUE(QvTestSystem::WaitForHandshake([&] { return QvTestFs::ReadFile(record, &received); }));
        EXPECT_EQ("-menu 1", received);
        QvTestFs::RemoveTree(record);
    }
    EXPECT_FALSE(QvTestFs::Exists(temp.Join("decoy\\QvArgRecorder.out"))) << "the decoy was started";
}
