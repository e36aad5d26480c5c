#pragma once
// The icon's context menu: labels in the user's language from the interface text, two
// entries that come and go (check for updates, send logs), shown at the cursor; the
// chosen command goes to the control panel.

#include <windows.h>

// Builds, shows and acts on the menu. window is the hidden window that received the
// click; it owns the menu and is made the foreground window around it.
void ShowQvBuiTrayMenu(HWND window);
// Appends one text entry; text is an interface-text key when localize is true, the
// label itself otherwise. False (and one log line) when the entry cannot be appended.
bool qvbuiAppendStrMenuItem(HMENU menu, const char* text, int commandId, bool localize);

