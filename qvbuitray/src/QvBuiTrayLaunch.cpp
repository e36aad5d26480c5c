// Starting the control panel. Its command line is the tray program's whole contract with
// qvbui.exe: the quoted program path, a space and one argument.
#include "QvBuiTrayLaunch.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTraySeams.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvSystem.h"

void BuildQvBuiCommandLine(int commandId, QvString* commandLine) {
    QvString installDir;
    QvSystem::GetInstallDir(&installDir);
    commandLine->Set("\"");
    commandLine->Append(&installDir);
    commandLine->Append(QVBUITRAY_CONTROL_PANEL_NAME);
    commandLine->Append(QVBUITRAY_CONTROL_PANEL_EXTENSION);
    commandLine->Append("\" ");
    if (commandId == kQvBuiTrayCmdQuit) {
        commandLine->Append(QVBUITRAY_QUIT_ARGUMENT);
    } else if ((commandId >= kQvBuiTrayCmdControlPanel && commandId <= kQvBuiTrayCmdAbout) ||
               commandId == kQvBuiTrayCmdSendLogs) {
        commandLine->Append(QVBUITRAY_MENU_ARGUMENT);
        commandLine->AppendInt(commandId);
    }
}

// Windows file names hold neither a double quote nor a control character, so an install
// directory with one cannot hold qvbui.exe: it came from a tampered registry value. Inside
// the quotes a double quote would end the program path early (naming another program,
// or handing qvbui.exe further arguments) and a line break would forge log lines.
static bool FitsBetweenQuotes(const QvString& installDir) {
    for (const char* c = installDir.GetText(); *c; ++c)
        if (*c == '"' || static_cast<unsigned char>(*c) < 0x20)
            return false;
    return true;
}

void RunQvBuiMenuCommand(int commandId) {
    QvString installDir;
    QvSystem::GetInstallDir(&installDir);
    if (!FitsBetweenQuotes(installDir)) {
        WriteLogText(QVBUITRAY_LOG_INSTALL_DIR_REFUSED);
        return;
    }
    QvString commandLine;
    BuildQvBuiCommandLine(commandId, &commandLine);

    QvString line(QVBUITRAY_LOG_ABOUT_TO_RUN);
    line.Append(&commandLine);
    WriteLogLine(&line);

    // Started, not waited for: the control panel lives on its own.
    if (QvBuiTraySeams::runCommand(&commandLine))
        line.Set(QVBUITRAY_LOG_RUN_OK);
    else
        line.Set(QVBUITRAY_LOG_RUN_FAILED);
    line.Append(&commandLine);
    WriteLogLine(&line);
}
