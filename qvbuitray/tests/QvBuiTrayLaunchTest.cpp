// The control panel's command line for every command number, and what is logged around
// its start.
#include "QvBuiTrayLaunch.h"

#include "QvBuiTraySeams.h"
#include "QvBuiTrayTestSupport.h"

using namespace QvBuiTrayTestEnv;
using QvBuiTrayLaunchTest = QvBuiTrayTest;

TEST_F(QvBuiTrayLaunchTest, GivesEachCommandItsArgumentAfterTheQuotedProgram) {
    const char* const arguments[] = {"", "-menu 1", "-menu 2", "-menu 3", "-menu 4", "-menu 5",
                                     "-menu 6", "-menu 7", "-quitqvbui", "-menu 9", ""};
    std::vector<std::string> expectedLaunches, expectedLog;
    for (int id = -1; id <= 10; ++id) {
        std::string commandLine = ControlPanel(arguments[id < 0 ? 0 : id]);
        RunQvBuiMenuCommand(id);
        expectedLaunches.push_back(commandLine);
        expectedLog.push_back("About to async run -menu with cmd: " + commandLine);
        expectedLog.push_back("Invoke qvbui.exe, QvSystem::RunCommand: " + commandLine);
    }
    EXPECT_EQ(expectedLaunches, QvBuiTrayRecord::launches);
    EXPECT_EQ(expectedLog, ReadLogSinceMark());
}

TEST_F(QvBuiTrayLaunchTest, MissingControlPanelIsLoggedAsAWarning) {
    QvBuiTraySeams::runCommand = QvBuiTraySeams::RunCommandWithPlatform;
    RunQvBuiMenuCommand(3);
    EXPECT_EQ((std::vector<std::string>{"About to async run -menu with cmd: " + ControlPanel("-menu 3"),
                                        "WARNING: QvSystem::RunCommand qvbui.exe failed for: " + ControlPanel("-menu 3")}),
              ReadLogSinceMark());
}
