#pragma once
// The notification-area icon: the hidden tray window that owns it, adding it (scaled for
// the display's resolution), adding it again after the shell restarted, removing it, and
// following the client's hide setting on every timer tick.

#include <windows.h>

// Creates a tray window and adds the icon for it, unless the hide setting is on. True
// when the icon was added or the setting is on; false after a logged failure.
bool CreateQvBuiSystemTray();
// Adds the icon again for the current tray window, whatever the hide setting says.
bool ReAddQvBuiIconToSystemTray();
// Deletes the icon described by the icon record; logs a failure.
void RemoveQvBuiIconFromSystemTray();
// Applies the hide setting; called on every timer tick.
void UpdateQvBuiIconVisibility();

struct QvBuiTrayIconSize {
    int width;
    int height;
};
// The small-icon metrics scaled from 96 dpi to dpi (raised to 96 when lower), dropping
// remainders.
QvBuiTrayIconSize ScaleQvBuiTrayIconSize(int baseWidth, int baseHeight, int dpi);
