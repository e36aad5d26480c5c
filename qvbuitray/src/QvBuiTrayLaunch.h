#pragma once
// Starting the control panel qvbui.exe for a menu command; the tray program carries out
// no command itself.

#include "qvbase/QvString.h"

// The control panel's command line for a command: the quoted path of qvbui.exe in the
// install directory and a space, then "-menu <id>" for 1 to 7 and 9, "-quitqvbui" for 8,
// nothing for any other id.
void BuildQvBuiCommandLine(int commandId, QvString* commandLine);
// Starts the control panel for a command without waiting; the outcome is logged.
void RunQvBuiMenuCommand(int commandId);
