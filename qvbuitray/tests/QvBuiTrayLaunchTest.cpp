// The control panel's command line for every command number, and what is logged around
// its start.
#include "QvBuiTrayLaunch.h"

#include "QvBuiTraySeams.h"
#include "QvBuiTrayTestSupport.h"

using namespace QvBuiTrayTestEnv;
using namespace QvBuiTrayRecord;

using QvBuiTrayLaunchTest = QvBuiTrayTest;

TEST_F(QvBuiTrayLaunchTest, GivesEachCommandItsArgumentAfterTheQuotedProgram) {
    struct Case {
        int commandId;
        const char* argument;
    } cases[] = {
        {1, "-menu 1"}, {2, "-menu 2"}, {3, "-menu 3"}, {4, "-menu 4"}, {5, "-menu 5"}, {6, "-menu 6"},
        {7, "-menu 7"}, {8, "-quitqvbui"}, {9, "-menu 9"}, {0, ""},      {10, ""},       {-1, ""},
    };
    for (const Case& c : cases) {
        launches.clear();
        MarkLog();
        RunQvBuiMenuCommand(c.commandId);
        std::string commandLine = "\"" + GetInstallDir() + "qvbui.exe\" " + c.argument;
        EXPECT_EQ(std::vector<std::string>{commandLine}, launches) << "command " << c.commandId;
        EXPECT_EQ((std::vector<std::string>{"About to async run -menu with cmd: " + commandLine,
                                            "Invoke qvbui.exe, QvSystem::RunCommand: " + commandLine}),
                  ReadLogSinceMark())
            << "command " << c.commandId;
    }
}

TEST_F(QvBuiTrayLaunchTest, MissingControlPanelIsLoggedAsAWarning) {
    QvBuiTraySeams::runCommand = QvBuiTraySeams::RunCommandWithPlatform;
    RunQvBuiMenuCommand(3);
    std::string commandLine = "\"" + GetInstallDir() + "qvbui.exe\" -menu 3";
    EXPECT_EQ((std::vector<std::string>{"About to async run -menu with cmd: " + commandLine,
                                        "WARNING: QvSystem::RunCommand qvbui.exe failed for: " + commandLine}),
              ReadLogSinceMark());
}
