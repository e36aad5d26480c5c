#pragma once
// The two calls of the tray program that leave the process or block it: the modal popup
// menu and the start of the control panel. They go through these pointers so that tests
// can answer in place of the user and record launches without starting a program. The
// program itself never changes them.

#include <windows.h>

class QvString;

namespace QvBuiTraySeams {

// TrackPopupMenu with no reserved argument and no exclusion rectangle: the chosen
// command id, 0 when the menu was dismissed.
typedef int (*TrackMenuFunction)(HMENU menu, UINT flags, int x, int y, HWND owner);
// QvSystem::RunCommand: true when the program was started.
typedef bool (*RunCommandFunction)(const QvString* commandLine);

extern TrackMenuFunction trackMenu;
extern RunCommandFunction runCommand;

// The real calls, to put back after a test.
int TrackMenuWithPlatform(HMENU menu, UINT flags, int x, int y, HWND owner);
bool RunCommandWithPlatform(const QvString* commandLine);

}  // namespace QvBuiTraySeams
